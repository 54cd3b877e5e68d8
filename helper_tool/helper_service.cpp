#include "helper_tool/helper_service.h"

#include <memory>

#include "helper_client/helper_protocol.h"
#include "helper_tool/helper_tool.h"
#include "helper_tool/sleep_setting.h"

namespace brannic {

namespace {

// What one connection exports: a tool that talks back through that
// connection's application proxy. The connection holds it, as its exported
// object and through its invalidation handler, and it holds the connection
// through the proxy: a cycle that the invalidation handler breaks (see
// serveHelper), since the helper runs for as long as the machine does.
class HelperSession final : public XpcExportedObject {
 public:
  HelperSession(std::shared_ptr<XpcRemoteProxy> appProxy, AuthorizationServices& authorization,
                SleepSetting& sleep, const std::string& version)
      : app_(std::move(appProxy)),
        tool_(app_, authorization, sleep, version),
        export_(exportHelperProtocol(tool_)) {}

  void invoke(const std::string& selector, std::vector<XpcValue> arguments, XpcReply reply) override {
    export_->invoke(selector, std::move(arguments), std::move(reply));
  }

  // Everything the helper does when a connection ends, however it ended
  // (the application quit, crashed or was killed, or sent what the
  // interface does not allow). Runs once, on the connection's queue.
  void connectionEnded() { tool_.connectionEnded(); }

 private:
  AppProxy app_;
  HelperTool tool_;
  std::shared_ptr<XpcExportedObject> export_;
};

}  // namespace

void serveHelper(XpcListener& listener, AuthorizationServices& authorization, ProcessRunner& processes,
                 SystemLog& log, const std::string& version) {
  // Lives as long as the listener serves: connections still open when it
  // stops end with the process, and their handlers do not run.
  SleepSetting sleep(processes, log);
  listener.setShouldAcceptNewConnection(
      [&authorization, &sleep, version](std::shared_ptr<XpcConnection> connection) {
        connection->setExportedInterface(helperProtocolInterface());
        connection->setRemoteObjectInterface(appProtocolInterface());
        // Text the application cannot receive any more is simply lost.
        auto appProxy = connection->remoteObjectProxyWithErrorHandler([](const PlatformError&) {});
        auto session = std::make_shared<HelperSession>(std::move(appProxy), authorization, sleep, version);
        connection->setExportedObject(session);
        // The handler holds the connection only to let go of the session: it
        // drops the exported object and then itself, whatever the platform
        // keeps of an invalidated connection.
        connection->setInvalidationHandler([session, connection] {
          // Clearing the handler may destroy this closure: work on copies.
          const auto ended = session;
          const auto held = connection;
          ended->connectionEnded();
          held->setExportedObject(nullptr);
          held->setInvalidationHandler({});
        });
        connection->resume();
        return true;
      });
  listener.resume();
}

}  // namespace brannic
