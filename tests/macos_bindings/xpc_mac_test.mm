// The XPC binding carries both interfaces over a real NSXPCConnection: an
// anonymous listener in this process stands for the helper's Mach service,
// its accepted connection is set up as the helper sets up its own, and the
// client side as the application does.
#include <gtest/gtest.h>

#import <Foundation/Foundation.h>

#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "helper_client/helper_protocol.h"
#include "platform/macos/xpc_connection_mac.h"

// Hands each new connection to a function.
@interface BRTestListenerDelegate : NSObject <NSXPCListenerDelegate>
- (instancetype)initWithAccept:(std::function<bool(NSXPCConnection*)>)accept NS_DESIGNATED_INITIALIZER;
- (instancetype)init NS_UNAVAILABLE;
@end

@implementation BRTestListenerDelegate {
  std::function<bool(NSXPCConnection*)> _accept;
}

- (instancetype)initWithAccept:(std::function<bool(NSXPCConnection*)>)accept {
  if ((self = [super init])) _accept = std::move(accept);
  return self;
}

- (BOOL)listener:(NSXPCListener*)listener shouldAcceptNewConnection:(NSXPCConnection*)connection {
  return _accept(connection) ? YES : NO;
}

@end

namespace brannic {
namespace {

using namespace std::chrono_literals;

std::string describe(const XpcValue& value) {
  struct {
    std::string operator()(const XpcNil&) const { return "nil"; }
    std::string operator()(const std::string& text) const { return '"' + text + '"'; }
    std::string operator()(std::int64_t number) const { return std::to_string(number); }
    std::string operator()(const XpcData& data) const {
      return "<" + std::to_string(data.size()) + " bytes, first " + (data.empty() ? "-" : std::to_string(data[0])) +
             ">";
    }
  } visitor;
  return std::visit(visitor, value);
}

std::string describe(const std::string& selector, const std::vector<XpcValue>& arguments) {
  std::string text = selector;
  for (const XpcValue& argument : arguments) text += " " + describe(argument);
  return text;
}

// What happened on either side, in the order it happened; the connections
// report from their own queues.
class Events {
 public:
  void add(std::string event) {
    std::lock_guard lock(mutex_);
    events_.push_back(std::move(event));
    changed_.notify_all();
  }

  // The first event that starts with `prefix`, waiting for it for a while
  // (a binding that loses a message fails the test instead of hanging it).
  std::optional<std::string> waitFor(const std::string& prefix) {
    std::unique_lock lock(mutex_);
    std::optional<std::string> found;
    changed_.wait_for(lock, 20s, [&] {
      for (const std::string& event : events_) {
        if (event.rfind(prefix, 0) == 0) {
          found = event;
          return true;
        }
      }
      return false;
    });
    return found;
  }

  // Forgets what happened so far (between the cases of one test).
  void clear() {
    std::lock_guard lock(mutex_);
    events_.clear();
  }

  bool contains(const std::string& prefix) const {
    std::lock_guard lock(mutex_);
    for (const std::string& event : events_)
      if (event.rfind(prefix, 0) == 0) return true;
    return false;
  }

 private:
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<std::string> events_;
};

// The helper's side: the connection the listener accepted.
struct HelperSide {
  std::mutex mutex;
  std::shared_ptr<XpcConnection> connection;

  std::shared_ptr<XpcConnection> get() {
    std::lock_guard lock(mutex);
    return connection;
  }
};

// Answers a version request with "2.5.1" and a command with its exit code
// 0, after sending the argument back as both kinds of output. The argument
// "vanish" makes it drop its end of the connection instead of replying.
class TestHelper final : public XpcExportedObject {
 public:
  TestHelper(std::shared_ptr<Events> events, std::weak_ptr<HelperSide> side)
      : events_(std::move(events)), side_(std::move(side)) {}

  void invoke(const std::string& selector, std::vector<XpcValue> arguments, XpcReply reply) override {
    events_->add("helper got " + describe(selector, arguments));
    if (selector == selectors::getVersionWithCompletion) {
      reply(std::string("2.5.1"));
      return;
    }
    const auto side = side_.lock();
    const auto connection = side ? side->get() : nullptr;
    if (connection == nullptr) return;
    if (arguments[0] == XpcValue{std::string("vanish")}) {
      connection->invalidate();
      return;
    }
    const auto app = connection->remoteObjectProxyWithErrorHandler(
        [events = events_](const PlatformError& error) { events->add("helper error " + error.description); });
    app->send(selectors::logWithStdOut, {arguments[0]}, nullptr);
    app->send(selectors::logWithStdErr, {arguments[0]}, nullptr);
    reply(std::int64_t{0});
  }

 private:
  std::shared_ptr<Events> events_;
  std::weak_ptr<HelperSide> side_;
};

class RecordingApp final : public XpcExportedObject {
 public:
  explicit RecordingApp(std::shared_ptr<Events> events) : events_(std::move(events)) {}
  void invoke(const std::string& selector, std::vector<XpcValue> arguments, XpcReply reply) override {
    events_->add("app got " + describe(selector, arguments));
    if (reply) reply(XpcNil{});
  }

 private:
  std::shared_ptr<Events> events_;
};

// Everything the connections' queues may still touch after a test ends is
// held by shared pointers those queues keep.
class XpcBinding : public ::testing::Test {
 protected:
  void SetUp() override {
    auto accept = [events = events_, side = helperSide_](NSXPCConnection* incoming) {
      auto connection = mac::wrapXpcConnection(incoming);
      connection->setExportedInterface(helperProtocolInterface());
      connection->setExportedObject(std::make_shared<TestHelper>(events, side));
      connection->setRemoteObjectInterface(appProtocolInterface());
      connection->setInvalidationHandler([events] { events->add("helper side invalidated"); });
      {
        std::lock_guard lock(side->mutex);
        side->connection = connection;
      }
      connection->resume();
      return true;
    };
    delegate_ = [[BRTestListenerDelegate alloc] initWithAccept:accept];
    listener_ = [NSXPCListener anonymousListener];
    listener_.delegate = delegate_;
    [listener_ resume];

    app_ = mac::wrapXpcConnection([[NSXPCConnection alloc] initWithListenerEndpoint:listener_.endpoint]);
    ASSERT_NE(app_, nullptr);
    app_->setExportedInterface(appProtocolInterface());
    app_->setExportedObject(std::make_shared<RecordingApp>(events_));
    app_->setRemoteObjectInterface(helperProtocolInterface());
    app_->setInvalidationHandler([events = events_] { events->add("app side invalidated"); });
    app_->resume();
  }

  void TearDown() override {
    if (app_) app_->invalidate();
    if (const auto helper = helperSide_->get()) helper->invalidate();
    [listener_ invalidate];
  }

  // A proxy whose error handler and replies are recorded as "error <code>:
  // <description>" and "reply <value>".
  std::shared_ptr<XpcRemoteProxy> helperProxy() {
    return app_->remoteObjectProxyWithErrorHandler([events = events_](const PlatformError& error) {
      events->add("error " + std::to_string(error.code) + ": " + error.description);
    });
  }
  XpcReply recordReply() {
    return [events = events_](XpcValue value) { events->add("reply " + describe(value)); };
  }

  const std::shared_ptr<Events> events_ = std::make_shared<Events>();
  std::shared_ptr<HelperSide> helperSide_ = std::make_shared<HelperSide>();
  BRTestListenerDelegate* delegate_ = nil;  // the listener holds its delegate weakly
  NSXPCListener* listener_ = nil;
  std::shared_ptr<XpcConnection> app_;
};

TEST_F(XpcBinding, CarriesEachRequestAndItsReply) {
  const struct {
    const char* selector;
    std::vector<XpcValue> arguments;
    const char* helperGets;
    const char* reply;
  } cases[] = {
      {selectors::getVersionWithCompletion, {}, "helper got getVersionWithCompletion:", "reply \"2.5.1\""},
      {selectors::runCommandLsWithPathCompletion, {std::string("1")},
       "helper got runCommandLsWithPath:completion: \"1\"", "reply 0"},
      {selectors::runCommandLsWithPathCompletion, {XpcNil{}}, "helper got runCommandLsWithPath:completion: nil",
       "reply 0"},
      {selectors::runCommandLsWithPathAuthDataCompletion, {std::string("0"), XpcData(32, 0xA5)},
       "helper got runCommandLsWithPath:authData:completion: \"0\" <32 bytes, first 165>", "reply 0"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.helperGets);
    events_->clear();
    const auto proxy = helperProxy();
    ASSERT_NE(proxy, nullptr);
    EXPECT_TRUE(proxy->conformsToProtocol("HelperProtocol"));
    proxy->send(c.selector, c.arguments, recordReply());
    EXPECT_TRUE(events_->waitFor(c.helperGets));
    EXPECT_EQ(events_->waitFor("reply"), c.reply);
    EXPECT_FALSE(events_->contains("error"));
  }
}

TEST_F(XpcBinding, CarriesTheHelpersOutputToTheApplication) {
  helperProxy()->send(selectors::runCommandLsWithPathCompletion, {std::string("total 0")}, recordReply());
  EXPECT_TRUE(events_->waitFor("app got logWithStdOut: \"total 0\""));
  EXPECT_TRUE(events_->waitFor("app got logWithStdErr: \"total 0\""));
  EXPECT_FALSE(events_->contains("helper error"));
}

// A message its interface does not declare never leaves: it ends in the
// error handler, and the connection still carries the next one.
TEST_F(XpcBinding, RefusesAMessageItsInterfaceDoesNotDeclare) {
  const struct {
    const char* kind;
    const char* selector;
    std::vector<XpcValue> arguments;
  } cases[] = {
      {"an undeclared selector", "removeItemAtPath:completion:", {std::string("/")}},
      {"an argument of another class", selectors::runCommandLsWithPathCompletion, {std::int64_t{1}}},
      {"a missing argument", selectors::runCommandLsWithPathAuthDataCompletion, {std::string("1")}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.kind);
    events_->clear();
    helperProxy()->send(c.selector, c.arguments, recordReply());
    const auto error = events_->waitFor("error");
    ASSERT_TRUE(error);
    EXPECT_NE(error->find(c.selector), std::string::npos) << *error;
    EXPECT_EQ(error->rfind("error 4101: ", 0), 0u) << *error;  // NSXPCConnectionReplyInvalid

    helperProxy()->send(selectors::getVersionWithCompletion, {}, recordReply());
    EXPECT_EQ(events_->waitFor("reply"), "reply \"2.5.1\"");
    EXPECT_FALSE(events_->contains(std::string("helper got ") + c.selector));
  }
}

TEST_F(XpcBinding, SendsNothingThroughAnInvalidatedConnection) {
  helperProxy()->send(selectors::getVersionWithCompletion, {}, recordReply());
  ASSERT_TRUE(events_->waitFor("reply"));

  app_->invalidate();
  EXPECT_TRUE(events_->waitFor("app side invalidated"));
  EXPECT_TRUE(events_->waitFor("helper side invalidated"));
  events_->clear();
  helperProxy()->send(selectors::getVersionWithCompletion, {}, recordReply());
  EXPECT_EQ(events_->waitFor("error").value_or("").rfind("error 4099: ", 0), 0u);  // NSXPCConnectionInvalid
  EXPECT_FALSE(events_->contains("reply"));
}

TEST_F(XpcBinding, EndsARequestWhoseHelperGoesAwayInTheErrorHandler) {
  helperProxy()->send(selectors::runCommandLsWithPathCompletion, {std::string("vanish")}, recordReply());
  EXPECT_TRUE(events_->waitFor("helper side invalidated"));
  EXPECT_TRUE(events_->waitFor("error"));
  EXPECT_FALSE(events_->contains("reply"));
}

}  // namespace
}  // namespace brannic
