#include "helper_tool/helper_service.h"

#include <memory>

#include "helper_client/helper_protocol.h"
#include "helper_tool/helper_tool.h"

namespace brannic {

namespace {

// What one connection exports: a tool that talks back through that
// connection's application proxy. The connection holds it until it is
// invalidated, which also lets go of the proxy (and so of the connection).
class HelperSession final : public XpcExportedObject {
 public:
  HelperSession(std::shared_ptr<XpcRemoteProxy> appProxy, AuthorizationServices& authorization,
                ProcessRunner& processes, const std::string& version)
      : app_(std::move(appProxy)),
        tool_(app_, authorization, processes, version),
        export_(exportHelperProtocol(tool_)) {}

  void invoke(const std::string& selector, std::vector<XpcValue> arguments, XpcReply reply) override {
    export_->invoke(selector, std::move(arguments), std::move(reply));
  }

 private:
  AppProxy app_;
  HelperTool tool_;
  std::shared_ptr<XpcExportedObject> export_;
};

}  // namespace

void serveHelper(XpcListener& listener, AuthorizationServices& authorization, ProcessRunner& processes,
                 const std::string& version) {
  listener.setShouldAcceptNewConnection(
      [&authorization, &processes, version](std::shared_ptr<XpcConnection> connection) {
        connection->setExportedInterface(helperProtocolInterface());
        connection->setRemoteObjectInterface(appProtocolInterface());
        // Text the application cannot receive any more is simply lost.
        auto appProxy = connection->remoteObjectProxyWithErrorHandler([](const PlatformError&) {});
        connection->setExportedObject(
            std::make_shared<HelperSession>(std::move(appProxy), authorization, processes, version));
        connection->resume();
        return true;
      });
  listener.resume();
}

}  // namespace brannic
