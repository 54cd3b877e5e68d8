// Replies, errors, the invalidation handler and the helper's text arrive on
// the connection's own thread while the main thread runs its queue. Nothing
// on that thread may touch the delegate's state; ThreadSanitizer checks it.
#include <algorithm>
#include <atomic>
#include <thread>

#include "tests/helper_client/helper_client_fixture.h"

namespace brannic::testing {
namespace {

TEST(HelperClientThreads, HandlersOnTheConnectionsThreadOnlyHandWorkToTheMainQueue) {
  HelperClientWorld world;
  world.requireBox.stateValue = NSControlStateValueOn;
  world.cacheBox.stateValue = NSControlStateValueOn;
  world.delegate->runHelperCommand("1");
  world.delegate->runHelperCommand("0");
  world.requireBox.stateValue = NSControlStateValueOff;
  world.delegate->runHelperCommand("plain");
  world.delegate->runHelperCommand("lost");
  ASSERT_EQ(world.xpc.connections.size(), 1u);
  auto& connection = world.xpc.last();
  ASSERT_EQ(connection.messageCount(), 4u);

  std::atomic<bool> done = false;
  std::thread queue([&] {
    connection.reply(0, XpcValue{std::int64_t{0}});
    connection.exportedObject->invoke("logWithStdOut:", {XpcValue{std::string("from helper")}}, nullptr);
    connection.reply(1, XpcValue{std::int64_t{0}});
    connection.reply(2, XpcValue{std::int64_t{3}});
    connection.fail(3, PlatformError{"NSCocoaErrorDomain", 4099, "invalidated"});
    connection.runInvalidationHandler();
    done = true;
  });
  while (!done) world.runMainQueue();
  queue.join();

  auto lines = world.log();
  std::sort(lines.begin(), lines.end());
  EXPECT_EQ(lines, (std::vector<std::string>{
                       "Command exit code: 0", "Command exit code: 0", "Command exit code: 3",
                       "Helper connection was closed with error: invalidated", "from helper"}));
  ASSERT_TRUE(world.delegate->currentHelperAuthData().has_value());
  EXPECT_EQ(*world.delegate->currentHelperAuthData(), *connection.message(0).authData());
  EXPECT_EQ(world.cachedField.writes, std::vector<std::string>{"Yes"});

  EXPECT_FALSE(connection.hasInvalidationHandler());
  world.delegate->runHelperCommand("after");
  EXPECT_EQ(world.xpc.connections.size(), 2u);
}

TEST(HelperClientThreads, ALateInvalidationHandlerLeavesTheCacheToTheMainThread) {
  HelperClientWorld world;
  world.bundle.infoDictionaries[kInBundleHelperURL] =
      PropertyDictionary{{"CFBundleShortVersionString", std::string(HelperVersion)}};
  world.delegate->applicationDidFinishLaunching();
  auto& old = world.xpc.connection(0);
  ASSERT_TRUE(old.isInvalidated());

  // The old connection's queue runs its handler at a moment that nothing
  // orders with the main thread (a relaxed flag adds no ordering), after
  // the success block has cached a newer connection.
  std::atomic<bool> newerCached = false;
  std::thread queue([&] {
    while (!newerCached.load(std::memory_order_relaxed)) std::this_thread::yield();
    old.runInvalidationHandler();
  });
  world.runMainQueue();
  ASSERT_EQ(world.xpc.connections.size(), 2u);
  newerCached.store(true, std::memory_order_relaxed);
  queue.join();

  world.runMainQueue();
  EXPECT_FALSE(world.xpc.connection(1).hasInvalidationHandler());
  world.delegate->runHelperCommand("1");
  EXPECT_EQ(world.xpc.connections.size(), 3u);
}

}  // namespace
}  // namespace brannic::testing
