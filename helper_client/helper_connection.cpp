// The one connection to the helper, cached on the delegate, and the proxy
// through which every message to the helper is sent.
#include "app/app_delegate.h"
#include "helper_client/helper_label.h"

namespace brannic {

std::shared_ptr<XpcConnection> AppDelegate::helperConnection() {
  if (currentHelperConnection) return currentHelperConnection;

  auto connection =
      platform_.xpc.connectionWithMachServiceName(std::string(HelperLabel), NSXPCConnectionPrivileged);
  if (connection) {
    connection->setExportedInterface(appProtocolInterface());
    connection->setExportedObject(exportAppProtocol(*this));
    connection->setRemoteObjectInterface(helperProtocolInterface());
    // Runs on the connection's queue: everything that touches the cache is
    // left to the main queue.
    connection->setInvalidationHandler([this] { connectionInvalidated(); });
  }
  currentHelperConnection = std::move(connection);
  if (currentHelperConnection) currentHelperConnection->resume();
  return currentHelperConnection;
}

void AppDelegate::connectionInvalidated() {
  platform_.runLoop.addOperationToMainQueue([this] {
    // Whatever is cached now loses its handler and leaves the cache, even if
    // it is a newer connection than the one that was invalidated.
    if (currentHelperConnection) currentHelperConnection->setInvalidationHandler({});
    currentHelperConnection.reset();
  });
}

std::shared_ptr<HelperProtocol> AppDelegate::helperProxy(std::function<void(bool)> completion) {
  const auto connection = helperConnection();
  if (!connection) return nullptr;

  // Runs on the connection's queue; appendToLog only hands the line to the
  // main queue.
  auto proxy = connection->remoteObjectProxyWithErrorHandler(
      [this, completion = std::move(completion)](const PlatformError& error) {
        appendToLog("Helper connection was closed with error: " + error.description);
        if (completion) completion(false);
      });
  if (!proxy || !proxy->conformsToProtocol(helperProtocolInterface().protocolName)) return nullptr;
  return std::make_shared<HelperProxy>(std::move(proxy));
}

}  // namespace brannic
