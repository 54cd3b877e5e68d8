// The simulated transport in one process: a listener on a real Unix socket,
// client connections to it, and a raw peer that sends what no well-behaved
// connection would.
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>

#include <atomic>
#include <memory>
#include <thread>

#include "tests/sim/ipc_test_support.h"
#include "tests/support/gate.h"
#include "platform/sim/xpc/connection.h"
#include "platform/sim/xpc/connections.h"
#include "platform/sim/xpc/errors.h"
#include "platform/sim/xpc/listener.h"
#include "platform/sim/xpc/wire.h"

namespace brannic::sim {
namespace {

using testing::Deliveries;
using testing::TempDir;
using Bytes = std::vector<std::uint8_t>;

constexpr const char* kService = "com.test.echo";

// echo: answers its text; wait: answers its number after that many
// milliseconds; hold: answers its number once the test opens the gate;
// defer: keeps its reply back for good, without holding up the connection;
// note: has no reply block; keep: answers its data.
const XpcInterface& echoInterface() {
  static const XpcInterface interface {
    "EchoProtocol", {
      {"echo:reply:", {XpcClass::string}, XpcClass::string, ""},
          {"wait:reply:", {XpcClass::number}, XpcClass::number, ""},
          {"hold:reply:", {XpcClass::number}, XpcClass::number, ""},
          {"defer:reply:", {XpcClass::number}, XpcClass::number, ""},
          {"note:", {XpcClass::string}, std::nullopt, ""}, {
        "keep:reply:", {XpcClass::data}, XpcClass::data, ""
      }
    }
  };
  return interface;
}

class EchoObject final : public XpcExportedObject {
 public:
  EchoObject(Deliveries& calls, testing::Gate& held) : calls_(calls), held_(held) {}
  void invoke(const std::string& selector, std::vector<XpcValue> arguments, XpcReply reply) override {
    calls_.add("call " + selector);
    if (selector == "wait:reply:")
      std::this_thread::sleep_for(std::chrono::milliseconds(std::get<std::int64_t>(arguments[0])));
    if (selector == "hold:reply:") held_.pass();
    if (selector == "defer:reply:") return deferred_.push_back(std::move(reply));
    if (reply) reply(arguments[0]);
  }

 private:
  Deliveries& calls_;
  testing::Gate& held_;
  std::vector<XpcReply> deferred_;  // the connection's queue only
};

class FixedLookup final : public SimXpcServiceLookup {
 public:
  explicit FixedLookup(std::string path) : path_(std::move(path)) {}
  std::optional<std::string> lookUpService(const std::string& name) override {
    ++lookups;
    if (name != kService) return std::nullopt;
    return path_;
  }
  std::atomic<int> lookups{0};

 private:
  std::string path_;
};

// Reads frames from a raw socket, waiting up to 5 s for each.
class FrameSource {
 public:
  explicit FrameSource(int fd) : fd_(fd) {}
  std::optional<Bytes> next() {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (std::chrono::steady_clock::now() < deadline) {
      if (auto payload = reader_.next()) return payload;
      pollfd polled{fd_, POLLIN, 0};
      if (::poll(&polled, 1, 100) <= 0) continue;
      std::uint8_t buffer[4096];
      const ssize_t count = ::recv(fd_, buffer, sizeof buffer, 0);
      if (count <= 0) return std::nullopt;
      reader_.append(buffer, static_cast<std::size_t>(count));
    }
    return std::nullopt;
  }

 private:
  int fd_;
  wire::FrameReader reader_;
};

void writeBytes(int fd, const Bytes& bytes) {
  ASSERT_EQ(::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL), static_cast<ssize_t>(bytes.size()));
}

Bytes header(std::uint32_t length) {
  return {static_cast<std::uint8_t>(length >> 24), static_cast<std::uint8_t>(length >> 16),
          static_cast<std::uint8_t>(length >> 8), static_cast<std::uint8_t>(length)};
}

class IpcTransport : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_FALSE(folder.path().string().empty()); }
  void TearDown() override {
    heldCalls.open();  // a call still held would keep the server from stopping
    stopServer();
  }

  // A listener that accepts every client and exports EchoProtocol.
  void startServer(std::function<bool(std::shared_ptr<XpcConnection>)> decide = nullptr) {
    std::string error;
    OwnedFd socket = listenOnPath(socketPath, 0600, &error);
    ASSERT_TRUE(socket.valid()) << error;
    listener = std::make_unique<SimXpcListener>(std::move(socket), socketPath, SimXpcListener::Options{});
    if (!decide) {
      decide = [this](std::shared_ptr<XpcConnection> connection) {
        connection->setExportedInterface(echoInterface());
        connection->setExportedObject(std::make_shared<EchoObject>(serverCalls, heldCalls));
        connection->resume();
        return true;
      };
    }
    listener->setShouldAcceptNewConnection(std::move(decide));
    serving = std::thread([this] { listener->resume(); });
  }

  void stopServer() {
    if (!listener) return;
    listener->stop();
    serving.join();
    listener.reset();
  }

  std::shared_ptr<SimXpcConnection> connect(SimXpcTraffic* traffic = nullptr) {
    auto connection = SimXpcConnection::toService(kService, &lookup, traffic);
    connection->setRemoteObjectInterface(echoInterface());
    connection->setInvalidationHandler(client.invalidationRecorder());
    connection->resume();
    return connection;
  }

  void send(const std::shared_ptr<SimXpcConnection>& connection, const std::string& selector,
            std::vector<XpcValue> arguments, bool withReply = true) {
    connection->send(selector, std::move(arguments), withReply ? client.replyRecorder() : nullptr,
                     client.errorRecorder());
  }

  TempDir folder;
  std::string socketPath = folder.path().string() + "/echo";
  FixedLookup lookup{socketPath};
  std::unique_ptr<SimXpcListener> listener;
  std::thread serving;
  Deliveries serverCalls;
  testing::Gate heldCalls;  // lets hold:reply: calls answer
  Deliveries client;
};

// The service's connections record their end (after a pause, so that a
// caller that does not wait for it would miss it).
std::function<bool(std::shared_ptr<XpcConnection>)> recordingEnds(Deliveries& calls, testing::Gate& held) {
  return [&calls, &held](std::shared_ptr<XpcConnection> connection) {
    connection->setExportedInterface(echoInterface());
    connection->setExportedObject(std::make_shared<EchoObject>(calls, held));
    connection->setInvalidationHandler([&calls] {
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
      calls.add("ended");
    });
    connection->resume();
    return true;
  };
}

std::string interrupted(const std::string& reason) {
  return "error 4097 " +
         interruptedError(std::string("connection to service named ") + kService, reason).description;
}

TEST_F(IpcTransport, RepliesAndHandlersRunOnTheConnectionsOwnQueue) {
  startServer();
  auto connection = connect();
  send(connection, "echo:reply:", {std::string("hello")});
  send(connection, "note:", {std::string("no reply")}, false);
  send(connection, "echo:reply:", {XpcNil{}});
  EXPECT_EQ(client.texts(2), (std::vector<std::string>{"reply \"hello\"", "reply nil"}));
  EXPECT_EQ(serverCalls.texts(3),
            (std::vector<std::string>{"call echo:reply:", "call note:", "call echo:reply:"}));

  connection->invalidate();
  const auto events = client.waitFor(3);
  ASSERT_EQ(events.size(), 3u);
  EXPECT_EQ(events[2].what, "invalidated");
  EXPECT_NE(events[0].thread, std::this_thread::get_id());
  EXPECT_EQ(events[0].thread, events[2].thread);
  EXPECT_NE(serverCalls.waitFor(1)[0].thread, events[0].thread);
}

TEST_F(IpcTransport, TwoRequestsInFlightAreBothAnsweredInOrder) {
  startServer();
  auto connection = connect();
  send(connection, "wait:reply:", {std::int64_t{150}});
  send(connection, "echo:reply:", {std::string("second")});
  EXPECT_EQ(client.texts(2), (std::vector<std::string>{"reply 150", "reply \"second\""}));
}

TEST_F(IpcTransport, MessagesSentBeforeResumeGoOutOnResume) {
  startServer();
  auto connection = SimXpcConnection::toService(kService, &lookup, nullptr);
  connection->setRemoteObjectInterface(echoInterface());
  send(connection, "echo:reply:", {std::string("early")});
  // Nothing goes out without the service's address, which is looked up on
  // the sending thread: no lookup yet, no message could have left.
  EXPECT_EQ(lookup.lookups.load(), 0);
  connection->resume();
  EXPECT_EQ(lookup.lookups.load(), 1);
  EXPECT_EQ(client.texts(1), std::vector<std::string>{"reply \"early\""});
}

// Messages the exported interface does not allow, sent through an ordinary
// proxy: the server drops the connection and says why.
TEST_F(IpcTransport, AMessageTheInterfaceDoesNotAllowDropsTheConnection) {
  const struct {
    const char* name;
    std::string selector;
    std::vector<XpcValue> arguments;
    bool withReply;
    std::string reason;
  } cases[] = {
      {"unknown selector",
       "bogus:",
       {std::string("x")},
       true,
       "the other side refused a message EchoProtocol does not allow: unknown selector \"bogus:\" for "
       "EchoProtocol"},
      {"wrong class",
       "echo:reply:",
       {std::int64_t{1}},
       true,
       "the other side refused a message EchoProtocol does not allow: echo:reply: argument 1 is NSNumber, "
       "not "
       "NSString"},
      {"wrong count",
       "echo:reply:",
       {std::string("a"), std::string("b")},
       true,
       "the other side refused a message EchoProtocol does not allow: echo:reply: takes 1 arguments, not 2"},
      {"no reply block",
       "echo:reply:",
       {std::string("a")},
       false,
       "the other side refused a message EchoProtocol does not allow: echo:reply: needs a reply block"},
  };
  startServer();
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Deliveries events;
    auto connection = SimXpcConnection::toService(kService, &lookup, nullptr);
    connection->setRemoteObjectInterface(echoInterface());
    connection->setInvalidationHandler(events.invalidationRecorder());
    // A well-formed request waits on the server when the bad one arrives.
    // Both are sent before resume, so that they go out together and reach
    // the server at once, however the threads are scheduled.
    connection->send("wait:reply:", {std::int64_t{100}}, events.replyRecorder(), events.errorRecorder());
    connection->send(c.selector, c.arguments, c.withReply ? events.replyRecorder() : nullptr,
                     events.errorRecorder());
    connection->resume();
    const std::string error = interrupted(c.reason);
    // The server reads the bad message before the reply to the first one
    // goes out: both requests fail, in the order sent; the handler runs
    // last, once.
    std::vector<std::string> expected{error};
    if (c.withReply) expected.push_back(error);
    expected.push_back("invalidated");
    EXPECT_EQ(events.texts(expected.size()), expected);

    connection->send("echo:reply:", {std::string("late")}, events.replyRecorder(), events.errorRecorder());
    EXPECT_EQ(events.waitFor(expected.size() + 1).back().what,
              "error 4099 " + invalidatedError(connection->description(), c.reason).description);
  }
  // The server survived all of it.
  auto connection = connect();
  send(connection, "echo:reply:", {std::string("still here")});
  EXPECT_EQ(client.texts(1), std::vector<std::string>{"reply \"still here\""});
}

// A raw peer playing the server sends what the client must refuse.
TEST_F(IpcTransport, ReceivedGarbageDropsTheConnectionAndTellsThePeer) {
  const Bytes garbled = [] {
    Bytes frame = header(2);
    frame.push_back(9);
    frame.push_back(9);
    return frame;
  }();
  const struct {
    const char* name;
    // What the raw server sends, given the reply ids of the client's two requests.
    std::function<Bytes(std::uint64_t, std::uint64_t)> bytes;
    std::string firstError;   // of the echo request
    std::string secondError;  // of the wait request
    std::string told;         // the goodbye the raw server gets, empty: none (it closed)
    bool closeAfter;
  } cases[] = {
      {"garbled frame", [&](std::uint64_t, std::uint64_t) { return garbled; },
       interrupted("received a garbled frame (unknown message kind 9)"),
       interrupted("received a garbled frame (unknown message kind 9)"),
       "a garbled frame (unknown message kind 9)", false},
      {"oversized frame", [](std::uint64_t, std::uint64_t) { return header(wire::kMaxPayloadSize + 1); },
       interrupted("received an oversized frame (1048577 bytes; the limit is 1048576)"),
       interrupted("received an oversized frame (1048577 bytes; the limit is 1048576)"),
       "an oversized frame (1048577 bytes; the limit is 1048576)", false},
      {"truncated frame",
       [](std::uint64_t first, std::uint64_t) {
         Bytes frame = wire::encode(wire::Reply{first, std::string("cut")});
         frame.resize(frame.size() - 2);
         return frame;
       },
       interrupted("received a truncated frame (19 of 21 bytes) before the other side closed the connection"),
       interrupted("received a truncated frame (19 of 21 bytes) before the other side closed the connection"),
       "", true},
      {"reply to no message",
       [](std::uint64_t, std::uint64_t) {
         return wire::encode(wire::Reply{999, XpcNil{}});
       },
       interrupted("received a reply to unknown message 999"),
       interrupted("received a reply to unknown message 999"), "a reply to unknown message 999", false},
      {"reply of the wrong class",
       [](std::uint64_t first, std::uint64_t) {
         return wire::encode(wire::Reply{first, XpcData{1, 2}});
       },
       "error 4101 " + replyInvalidError(std::string("connection to service named ") + kService,
                                         "echo:reply:", "NSData where NSString was declared")
                           .description,
       interrupted("received an invalid reply to echo:reply:: NSData where NSString was declared"),
       "an invalid reply to echo:reply:: NSData where NSString was declared", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::string error;
    OwnedFd listening = listenOnPath(socketPath, 0600, &error);
    ASSERT_TRUE(listening.valid()) << error;
    Deliveries events;
    auto connection = SimXpcConnection::toService(kService, &lookup, nullptr);
    connection->setRemoteObjectInterface(echoInterface());
    connection->setInvalidationHandler(events.invalidationRecorder());
    connection->resume();
    connection->send("echo:reply:", {std::string("x")}, events.replyRecorder(), events.errorRecorder());
    connection->send("wait:reply:", {std::int64_t{1}}, events.replyRecorder(), events.errorRecorder());

    pollfd polled{listening.get(), POLLIN, 0};
    ASSERT_EQ(::poll(&polled, 1, 5000), 1);
    OwnedFd peer = acceptConnection(listening.get());
    ASSERT_TRUE(peer.valid());
    FrameSource frames(peer.get());
    std::uint64_t ids[2] = {0, 0};
    for (auto& id : ids) {
      const auto payload = frames.next();
      ASSERT_TRUE(payload);
      id = std::get<wire::Call>(*wire::decodePayload(payload->data(), payload->size(), nullptr)).replyId;
    }
    writeBytes(peer.get(), c.bytes(ids[0], ids[1]));
    if (c.closeAfter) peer.reset();

    const auto texts = events.texts(3);
    ASSERT_EQ(texts.size(), 3u);
    EXPECT_EQ(texts[0], c.firstError);
    EXPECT_EQ(texts[1], c.secondError);
    EXPECT_EQ(texts[2], "invalidated");
    if (!c.told.empty()) {
      const auto goodbye = frames.next();
      ASSERT_TRUE(goodbye);
      EXPECT_EQ(
          std::get<wire::Goodbye>(*wire::decodePayload(goodbye->data(), goodbye->size(), nullptr)).reason,
          c.told);
    }
  }
}

TEST_F(IpcTransport, AFrameThatStopsArrivingCountsAsTruncated) {
  std::string error;
  OwnedFd listening = listenOnPath(socketPath, 0600, &error);
  ASSERT_TRUE(listening.valid()) << error;
  auto connection = connect();
  send(connection, "echo:reply:", {std::string("x")});
  pollfd polled{listening.get(), POLLIN, 0};
  ASSERT_EQ(::poll(&polled, 1, 5000), 1);
  OwnedFd peer = acceptConnection(listening.get());
  ASSERT_TRUE(FrameSource(peer.get()).next());
  writeBytes(peer.get(), header(10));  // and nothing more, but the peer stays
  const auto texts = client.texts(2);
  ASSERT_EQ(texts.size(), 2u);
  EXPECT_EQ(texts[0], interrupted("received a truncated frame (4 of 14 bytes, then nothing for 2 s)"));
  EXPECT_EQ(texts[1], "invalidated");
}

TEST_F(IpcTransport, InvalidateEndsPendingMessagesThenRunsItsHandlerOnce) {
  startServer(recordingEnds(serverCalls, heldCalls));
  auto connection = connect();
  send(connection, "hold:reply:", {std::int64_t{300}});
  serverCalls.waitFor(1);
  connection->invalidate();
  connection->invalidate();
  const std::string invalidated = "error 4099 " + invalidatedError(connection->description(), "").description;
  EXPECT_EQ(client.texts(2), (std::vector<std::string>{invalidated, "invalidated"}));
  EXPECT_TRUE(connection->isInvalidated());

  send(connection, "echo:reply:", {std::string("after")});
  EXPECT_EQ(client.texts(3).back(), invalidated);
  // The server answers only now, then sees the connection end: whatever
  // its answer could have caused on this side has happened by then.
  heldCalls.open();
  EXPECT_EQ(serverCalls.texts(2), (std::vector<std::string>{"call hold:reply:", "ended"}));
  EXPECT_EQ(client.size(), 3u) << "the reply to the invalidated request must not arrive";
  EXPECT_NE(invalidated.find("was invalidated from this process."), std::string::npos);
}

TEST_F(IpcTransport, APeerThatGoesAwayEndsPendingMessages) {
  startServer();
  auto connection = connect();
  send(connection, "defer:reply:", {std::int64_t{200}});
  serverCalls.waitFor(1);
  stopServer();  // the listener invalidates every connection it holds
  const auto texts = client.texts(2);
  ASSERT_EQ(texts.size(), 2u);
  EXPECT_EQ(texts[0], interrupted("the other side closed the connection"));
  EXPECT_EQ(texts[1], "invalidated");
}

TEST_F(IpcTransport, LookupFailuresInvalidateTheConnection) {
  startServer();
  SimXpcConnections connections(lookup, nullptr);
  const struct {
    const char* name;
    std::string service;
    std::uint64_t options;
  } cases[] = {
      {"unknown service", "com.test.nothing", NSXPCConnectionPrivileged},
      {"known service outside the system domain", kService, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Deliveries events;
    auto connection = connections.connectionWithMachServiceName(c.service, c.options);
    connection->setRemoteObjectInterface(echoInterface());
    connection->setInvalidationHandler(events.invalidationRecorder());
    connection->resume();
    auto proxy = connection->remoteObjectProxyWithErrorHandler(events.errorRecorder());
    EXPECT_TRUE(proxy->conformsToProtocol("EchoProtocol"));
    proxy->send("echo:reply:", {std::string("x")}, events.replyRecorder());
    EXPECT_EQ(events.texts(2),
              (std::vector<std::string>{
                  "error 4099 Error Domain=NSCocoaErrorDomain Code=4099 \"The connection to service named " +
                      c.service +
                      " was invalidated: failed at lookup with error 3 - No such process.\" "
                      "UserInfo={NSDebugDescription=The connection to service named " +
                      c.service + " was invalidated: failed at lookup with error 3 - No such process.}",
                  "invalidated"}));
  }
}

TEST_F(IpcTransport, AServiceThatTakesNoConnectionsFailsTheMessageInTimeAndTheNextOneWorks) {
  // A listener that never accepts, its queue of pending connections full.
  OwnedFd stalled(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  socketPath.copy(address.sun_path, sizeof address.sun_path - 1);
  ASSERT_EQ(::bind(stalled.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
  ASSERT_EQ(::listen(stalled.get(), 0), 0);
  std::vector<OwnedFd> queued;
  for (;;) {
    OwnedFd fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
    if (::connect(fd.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) break;
    queued.push_back(std::move(fd));
    ASSERT_LT(queued.size(), 1000u);
  }

  // Sent on its own thread, which could otherwise block for good.
  auto connection = connect();
  const auto start = std::chrono::steady_clock::now();
  std::thread sender([&] { send(connection, "echo:reply:", {std::string("x")}); });
  const auto texts = client.texts(2);
  const auto took = std::chrono::steady_clock::now() - start;
  stalled.reset();  // lets a blocked sender go
  sender.join();
  EXPECT_EQ(texts, (std::vector<std::string>{
                       interrupted("the service did not take the connection within 2 s"), "invalidated"}));
  EXPECT_LT(took, std::chrono::seconds(5));

  startServer();
  Deliveries later;
  auto again = SimXpcConnection::toService(kService, &lookup, nullptr);
  again->setRemoteObjectInterface(echoInterface());
  again->resume();
  again->send("echo:reply:", {std::string("healthy")}, later.replyRecorder(), later.errorRecorder());
  EXPECT_EQ(later.texts(1), std::vector<std::string>{"reply \"healthy\""});
}

TEST_F(IpcTransport, ReleasingTheLastReferenceInvalidatesTheConnection) {
  startServer();
  auto connection = connect();
  const std::string invalidated = "error 4099 " + invalidatedError(connection->description(), "").description;
  auto proxy = connection->remoteObjectProxyWithErrorHandler(client.errorRecorder());
  proxy->send("hold:reply:", {std::int64_t{1}}, client.replyRecorder());
  serverCalls.waitFor(1);
  connection.reset();  // the proxy still holds it
  proxy->send("echo:reply:", {std::string("still open")}, client.replyRecorder());
  heldCalls.open();
  EXPECT_EQ(client.texts(2), (std::vector<std::string>{"reply 1", "reply \"still open\""}));

  heldCalls.close();
  proxy->send("hold:reply:", {std::int64_t{2}}, client.replyRecorder());
  serverCalls.waitFor(3);
  proxy.reset();
  const auto texts = client.texts(4);
  ASSERT_EQ(texts.size(), 4u);
  EXPECT_EQ(texts[2], invalidated) << "the message awaiting its reply ends first";
  EXPECT_EQ(texts[3], "invalidated");
}

TEST_F(IpcTransport, AMessageTooLargeToSendDropsTheConnection) {
  startServer();
  auto connection = connect();
  send(connection, "echo:reply:", {std::string(wire::kMaxPayloadSize, 'x')});
  const auto texts = client.texts(2);
  ASSERT_EQ(texts.size(), 2u);
  EXPECT_NE(texts[0].find("Code=4097"), std::string::npos);
  EXPECT_NE(texts[0].find("a message to send is too large ("), std::string::npos) << texts[0];
  EXPECT_NE(texts[0].find(" bytes; the limit is 1048576)"), std::string::npos) << texts[0];
  EXPECT_EQ(texts[1], "invalidated");
}

TEST_F(IpcTransport, ABurstOfCallsFromAPeerThatReadsIsAnsweredInFull) {
  startServer();
  auto connection = connect();
  constexpr std::size_t kCalls = 6000;  // more than the calls that may await replies at once
  for (std::size_t i = 0; i < kCalls; ++i) send(connection, "echo:reply:", {std::string("burst")});
  const auto texts = client.texts(kCalls);
  ASSERT_EQ(texts.size(), kCalls);
  EXPECT_EQ(texts.back(), "reply \"burst\"");
}

TEST_F(IpcTransport, AnAbandonedConnectionReturnsOnceTheServiceHasHandledItsEnd) {
  startServer(recordingEnds(serverCalls, heldCalls));
  SimXpcConnections connections(lookup, nullptr);
  auto connection = connections.connectionWithMachServiceName(kService, NSXPCConnectionPrivileged);
  connection->setRemoteObjectInterface(echoInterface());
  connection->setInvalidationHandler(client.invalidationRecorder());
  connection->resume();
  auto proxy = connection->remoteObjectProxyWithErrorHandler(client.errorRecorder());
  proxy->send("echo:reply:", {std::string("hello")}, client.replyRecorder());
  ASSERT_EQ(client.texts(1), std::vector<std::string>{"reply \"hello\""});
  proxy->send("hold:reply:", {std::int64_t{2}}, client.replyRecorder());
  serverCalls.waitFor(2);

  // The service answers once this side has begun to abandon the connection.
  const auto* abandoned = std::static_pointer_cast<SimXpcConnection>(connection).get();
  std::thread answerer([&] {
    if (testing::eventually([&] { return abandoned->isInvalidated(); })) heldCalls.open();
  });
  connections.abandonAll(testing::kEventTimeout);
  answerer.join();
  EXPECT_EQ(serverCalls.size(), 3u);
  EXPECT_EQ(serverCalls.texts(3).back(), "ended");
  EXPECT_TRUE(abandoned->hasEnded());
  // Letting go of the connection waits for its queue: nothing can run later.
  proxy.reset();
  connection.reset();
  EXPECT_EQ(client.size(), 1u) << "no reply, error or invalidation handler runs on an abandoned end";
}

TEST_F(IpcTransport, APeerThatNeverReadsItsRepliesIsDropped) {
  startServer(recordingEnds(serverCalls, heldCalls));
  std::string error;
  OwnedFd peer = connectToPath(socketPath, &error);
  ASSERT_TRUE(peer.valid()) << error;
  // Calls with large replies, sent for as long as the service takes them.
  constexpr std::size_t kGiveUpAfter = 64 << 20;
  std::size_t sent = 0;
  bool dropped = false;
  const auto deadline = std::chrono::steady_clock::now() + testing::kEventTimeout;
  for (std::uint64_t id = 1; !dropped && sent < kGiveUpAfter && std::chrono::steady_clock::now() < deadline;
       ++id) {
    const Bytes frame = wire::encode(wire::Call{id, "echo:reply:", {std::string(16 << 10, 'x')}});
    for (std::size_t offset = 0; offset < frame.size() && !dropped;) {
      const ssize_t written =
          ::send(peer.get(), frame.data() + offset, frame.size() - offset, MSG_NOSIGNAL | MSG_DONTWAIT);
      if (written > 0) {
        offset += static_cast<std::size_t>(written);
      } else if (written < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
        pollfd polled{peer.get(), POLLOUT, 0};
        if (::poll(&polled, 1, 100) == 0 && std::chrono::steady_clock::now() >= deadline) break;
      } else {
        dropped = true;
      }
    }
    sent += frame.size();
  }
  EXPECT_TRUE(dropped) << sent << " bytes sent";
  EXPECT_LT(sent, std::size_t{16} << 20);
  EXPECT_TRUE(testing::eventually([&] {
    const auto calls = serverCalls.waitFor(0);
    return !calls.empty() && calls.back().what == "ended";
  }));
}

TEST_F(IpcTransport, AStoppingListenerRunsNoInvalidationHandler) {
  startServer(recordingEnds(serverCalls, heldCalls));
  auto connection = connect();
  send(connection, "echo:reply:", {std::string("hello")});
  ASSERT_EQ(client.texts(1), std::vector<std::string>{"reply \"hello\""});
  stopServer();
  EXPECT_EQ(client.texts(2).back(), "invalidated");
  EXPECT_EQ(serverCalls.texts(1), std::vector<std::string>{"call echo:reply:"});
}

TEST(IpcEntitlement, OnlyTheSocketOwnersOwnClientsMayConnect) {
  const ServiceSocketFile good{true, 0600, 0};
  const struct {
    const char* name;
    std::optional<ServiceSocketFile> file;
    std::optional<PeerCredentials> peer;
    const char* violation;  // null: entitled
  } cases[] = {
      {"entitled", good, PeerCredentials{42, 0, 0}, nullptr},
      {"no socket file", std::nullopt, PeerCredentials{42, 0, 0}, "socket file is missing"},
      {"not a socket", ServiceSocketFile{false, 0600, 0}, PeerCredentials{42, 0, 0}, "is not a socket"},
      {"owned by another user", ServiceSocketFile{true, 0600, 501}, PeerCredentials{42, 501, 0},
       "owned by uid 501, not 0"},
      {"open to everyone", ServiceSocketFile{true, 0666, 0}, PeerCredentials{42, 0, 0},
       "mode 0666, not 0600"},
      {"open to the group", ServiceSocketFile{true, 0660, 0}, PeerCredentials{42, 0, 0},
       "mode 0660, not 0600"},
      {"client of another user", good, PeerCredentials{42, 501, 20}, "client runs as uid 501, not 0"},
      {"client unknown", good, std::nullopt, "credentials cannot be read"},
  };
  for (const auto& c : cases) {
    const auto why = entitlementViolation(c.file, 0, c.peer);
    if (!c.violation) {
      EXPECT_FALSE(why) << c.name;
    } else {
      ASSERT_TRUE(why) << c.name;
      EXPECT_NE(why->find(c.violation), std::string::npos) << c.name << ": " << *why;
    }
  }
}

TEST_F(IpcTransport, AClientThatIsNotEntitledIsToldWhyAndDisconnected) {
  startServer();
  ASSERT_EQ(::chmod(socketPath.c_str(), 0666), 0);
  auto connection = connect();
  send(connection, "echo:reply:", {std::string("x")});
  const auto texts = client.texts(2);
  ASSERT_EQ(texts.size(), 2u);
  EXPECT_EQ(texts[0],
            interrupted("the other side refused the connection (the service's socket has mode 0666, not "
                        "0600)"));
  EXPECT_EQ(listener->rejectedClients(), 1u);
  EXPECT_EQ(serverCalls.size(), 0u);
}

TEST_F(IpcTransport, AConnectionTheDelegateRefusesIsClosed) {
  startServer([](std::shared_ptr<XpcConnection>) { return false; });
  auto connection = connect();
  send(connection, "echo:reply:", {std::string("x")});
  EXPECT_EQ(client.texts(2),
            (std::vector<std::string>{interrupted("the other side closed the connection"), "invalidated"}));
}

TEST_F(IpcTransport, TrafficPrintsEveryMessageAndCountsThoseAwaitingAnswers) {
  startServer();
  testing::RecordingTranscript recording;
  SimXpcTraffic traffic(&recording.transcript(), nullptr);
  std::atomic<int> incoming{0};
  traffic.setIncomingHook([&] { ++incoming; });
  auto connection = connect(&traffic);
  const XpcData first(32, 1), second(32, 2);
  send(connection, "hold:reply:", {std::int64_t{200}});
  send(connection, "note:", {std::string("say \"hi\"\n")}, false);
  connection->send("keep:reply:", {first}, client.replyRecorder(), client.errorRecorder());
  connection->send("keep:reply:", {second}, client.replyRecorder(), client.errorRecorder());
  connection->send("keep:reply:", {first}, client.replyRecorder(), client.errorRecorder());
  EXPECT_EQ(traffic.messagesInFlight(), 4u);
  EXPECT_FALSE(traffic.awaitAnswers(std::chrono::milliseconds(20))) << "the service holds the first call";
  heldCalls.open();
  EXPECT_TRUE(traffic.awaitAnswers(testing::kEventTimeout));
  EXPECT_EQ(client.size(), 4u);  // each answer counted only after its reply block returned
  EXPECT_EQ(incoming.load(), 4);
  EXPECT_EQ(recording.channel("ipc"),
            (std::vector<std::string>{"send hold:reply: 200", "send note: \"say \\\"hi\\\"\\n\"",
                                      "send keep:reply: auth#1", "send keep:reply: auth#2",
                                      "send keep:reply: auth#1"}));

  EXPECT_FALSE(traffic.awaitConnectionsClosed(kService, std::chrono::milliseconds(20)));
  connection->invalidate();
  EXPECT_TRUE(traffic.awaitConnectionsClosed(kService, testing::kEventTimeout));
}

TEST_F(IpcTransport, HeldMessagesLeaveOnlyWhenLetGo) {
  startServer(recordingEnds(serverCalls, heldCalls));
  SimXpcTraffic traffic(nullptr, nullptr);
  traffic.setHoldOutgoing(true);
  // Sends a message while messages are held, then ends the connection. The
  // service handles the end only after every message that reached it, so
  // its record shows whether the held one left.
  const auto sendHeldThenEnd = [&](const std::shared_ptr<SimXpcConnection>& connection) {
    send(connection, "echo:reply:", {std::string("never let go")});
    connection->invalidate();
  };
  std::vector<std::string> reached;

  sendHeldThenEnd(connect(&traffic));
  reached.push_back("ended");
  EXPECT_EQ(serverCalls.texts(reached.size()), reached) << "held from the start";

  auto connection = connect(&traffic);
  for (int round = 1; round <= 2; ++round) {
    SCOPED_TRACE(round);
    send(connection, "echo:reply:", {std::string("held")});
    {
      const SimXpcTraffic::OutgoingWindow window(traffic);
      const auto answered = static_cast<std::size_t>(round) + 2;  // after the first connection's two
      EXPECT_EQ(client.texts(answered).size(), answered);
    }
    EXPECT_TRUE(traffic.holdsOutgoing());
    reached.push_back("call echo:reply:");
  }
  // Waiting for answers lets the messages go too.
  send(connection, "echo:reply:", {std::string("awaited")});
  EXPECT_TRUE(traffic.awaitAnswers(testing::kEventTimeout));
  EXPECT_EQ(client.size(), 5u);
  EXPECT_TRUE(traffic.holdsOutgoing());
  reached.push_back("call echo:reply:");

  sendHeldThenEnd(connection);
  reached.push_back("ended");
  EXPECT_EQ(serverCalls.texts(reached.size()), reached) << "held again once let go";
}

}  // namespace
}  // namespace brannic::sim
