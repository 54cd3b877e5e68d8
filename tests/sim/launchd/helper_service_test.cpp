// The helper's service as the simulated helper process runs it (the
// simulated transport's listener, the machine's authority behind the
// authorization socket), in this process so that what the helper still
// holds can be counted. The helper never exits while connections come and
// go, so each one must leave nothing behind.
#include <gtest/gtest.h>

#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "helper_client/helper_protocol.h"
#include "helper_tool/helper_exit_codes.h"
#include "helper_tool/helper_service.h"
#include "helper_tool/helper_tool.h"
#include "platform/sim/authorization/authority.h"
#include "platform/sim/authorization/client.h"
#include "platform/sim/authorization/database.h"
#include "platform/sim/authorization/server.h"
#include "platform/sim/authorization/socket.h"
#include "platform/sim/xpc/connection.h"
#include "platform/sim/xpc/listener.h"
#include "platform/sim/xpc/service_lookup.h"
#include "tests/sim/ipc_test_support.h"

namespace brannic::sim {
namespace {

using testing::Deliveries;
using testing::eventually;

constexpr const char* kService = "helper";

class FixedLookup final : public SimXpcServiceLookup {
 public:
  explicit FixedLookup(std::string path) : path_(std::move(path)) {}
  std::optional<std::string> lookUpService(const std::string&) override { return path_; }

 private:
  std::string path_;
};

// The power tool always succeeds; nothing here is about the sleep setting.
class SucceedingRunner final : public ProcessRunner {
 public:
  std::optional<ProcessResult> run(const std::string&, const std::vector<std::string>&) override {
    return ProcessResult{0, "", ""};
  }
};

class NoLog final : public SystemLog {
 public:
  void log(std::string_view) override {}
};

// The listener's connections as they are, with each exported object noted
// (weakly) on its way to the connection.
class SessionCountingListener final : public XpcListener {
 public:
  explicit SessionCountingListener(SimXpcListener& listener) : listener_(listener) {}

  void setShouldAcceptNewConnection(std::function<bool(std::shared_ptr<XpcConnection>)> decide) override {
    listener_.setShouldAcceptNewConnection(
        [this, decide = std::move(decide)](std::shared_ptr<XpcConnection> connection) {
          return decide(std::make_shared<Noting>(std::move(connection), *this));
        });
  }
  void resume() override { listener_.resume(); }

  std::size_t made() const {
    std::lock_guard lock(mutex_);
    return sessions_.size();
  }
  std::size_t alive() const {
    std::lock_guard lock(mutex_);
    std::size_t count = 0;
    for (const auto& session : sessions_) count += session.expired() ? 0 : 1;
    return count;
  }

 private:
  class Noting final : public XpcConnection {
   public:
    Noting(std::shared_ptr<XpcConnection> connection, SessionCountingListener& owner)
        : connection_(std::move(connection)), owner_(owner) {}
    void setExportedInterface(const XpcInterface& interface) override {
      connection_->setExportedInterface(interface);
    }
    void setExportedObject(std::shared_ptr<XpcExportedObject> object) override {
      if (object) owner_.note(object);
      connection_->setExportedObject(std::move(object));
    }
    void setRemoteObjectInterface(const XpcInterface& interface) override {
      connection_->setRemoteObjectInterface(interface);
    }
    void setInvalidationHandler(std::function<void()> handler) override {
      connection_->setInvalidationHandler(std::move(handler));
    }
    void resume() override { connection_->resume(); }
    void invalidate() override { connection_->invalidate(); }
    std::shared_ptr<XpcRemoteProxy> remoteObjectProxyWithErrorHandler(
        std::function<void(const PlatformError&)> handler) override {
      return connection_->remoteObjectProxyWithErrorHandler(std::move(handler));
    }

   private:
    std::shared_ptr<XpcConnection> connection_;
    SessionCountingListener& owner_;
  };

  void note(const std::shared_ptr<XpcExportedObject>& session) {
    std::lock_guard lock(mutex_);
    sessions_.push_back(session);
  }

  SimXpcListener& listener_;
  mutable std::mutex mutex_;
  std::vector<std::weak_ptr<XpcExportedObject>> sessions_;
};

TEST(SimulatedHelperService, AThousandConnectionsComeAndGoAndLeaveNoSessionAndNoAuthorization) {
  testing::TempDir folder;
  const std::string root = folder.path().string();
  SimAuthorizationDatabase database{authorizationDatabasePath(root)};
  ASSERT_TRUE(database.store(authorizedRequestRightName(),
                             PropertyDictionary{{"class", "user"}, {"group", "admin"}}));
  SimAuthorizationAuthority authority{database, nullptr};
  SimAuthServer authServer{authority, authorizationSocketPath(root)};
  SimAuthorizationClient authorization(authorizationSocketPath(root));
  SucceedingRunner runner;
  NoLog log;

  const std::string socketPath = root + "/helper";
  std::string error;
  OwnedFd socket = listenOnPath(socketPath, 0600, &error);
  ASSERT_TRUE(socket.valid()) << error;
  SimXpcListener listener(std::move(socket), socketPath, SimXpcListener::Options{});
  SessionCountingListener counting(listener);
  std::thread serving([&] { serveHelper(counting, authorization, runner, log, "1.0"); });

  // The application's authorization, sent with its requests as it caches it;
  // every fourth request carries 32 bytes that name no authorization.
  AuthorizationExternalForm form{};
  ASSERT_EQ(authority.createSession({}, kAuthorizationFlagDefaults, &form), errAuthorizationSuccess);
  const XpcData allowed(form.begin(), form.end());
  const XpcData unknown(32, 7);

  FixedLookup lookup(socketPath);
  constexpr int kConnections = 1000;
  Deliveries replies;
  for (int i = 0; i < kConnections; ++i) {
    auto connection = SimXpcConnection::toService(kService, &lookup, nullptr);
    connection->setRemoteObjectInterface(helperProtocolInterface());
    connection->resume();
    connection->send(selectors::runCommandLsWithPathAuthDataCompletion,
                     {std::string(i % 2 == 0 ? "1" : "0"), i % 4 == 3 ? unknown : allowed},
                     replies.replyRecorder(), replies.errorRecorder());
    ASSERT_EQ(replies.waitFor(static_cast<std::size_t>(i) + 1).size(), static_cast<std::size_t>(i) + 1);
    connection->invalidate();
  }

  const auto texts = replies.texts(kConnections);
  for (int i = 0; i < kConnections; ++i) {
    const std::int64_t code = i % 4 == 3 ? kAuthenticationFailedExitCode : 0;
    ASSERT_EQ(texts[static_cast<std::size_t>(i)], "reply " + std::to_string(code)) << "request " << i;
  }
  EXPECT_EQ(counting.made(), static_cast<std::size_t>(kConnections));
  EXPECT_TRUE(eventually([&] { return counting.alive() == 0; })) << counting.alive() << " sessions left";
  EXPECT_EQ(authorization.heldReferences(), 0u);

  listener.stop();
  serving.join();
}

}  // namespace
}  // namespace brannic::sim
