#include "platform/sim/sim_unavailable.h"

#include <mutex>
#include <utility>

#include "platform/sim/sim_xpc_error.h"

namespace brannic::sim {
namespace {

// The connection's state. `serial` makes its blocks run one at a time, as
// on a serial queue; `mutex` guards the fields, and is never held while a
// handler runs, so handlers may call back into the connection.
struct UnavailableConnectionState {
  std::mutex serial;
  std::mutex mutex;
  std::function<void()> invalidationHandler;
  bool invalidated = false;

  // Runs the invalidation handler, once per connection.
  void invalidateOnce() {
    std::function<void()> handler;
    {
      std::lock_guard lock(mutex);
      if (invalidated) return;
      invalidated = true;
      handler = std::exchange(invalidationHandler, nullptr);
    }
    if (handler) handler();
  }
};

class UnavailableRemoteProxy final : public XpcRemoteProxy {
 public:
  UnavailableRemoteProxy(RunLoop& runLoop, std::shared_ptr<UnavailableConnectionState> state,
                         std::string name, std::function<void(const PlatformError&)> errorHandler)
      : runLoop_(runLoop),
        state_(std::move(state)),
        name_(std::move(name)),
        errorHandler_(std::move(errorHandler)) {}

  bool conformsToProtocol(const std::string& /*protocolName*/) const override { return true; }

  void send(const std::string& /*selector*/, std::vector<XpcValue> /*arguments*/,
            XpcReply /*reply*/) override {
    runLoop_.dispatchAsyncGlobal([state = state_, name = name_, errorHandler = errorHandler_] {
      std::lock_guard serial(state->serial);
      if (errorHandler) {
        errorHandler(invalidatedError("connection to service named " + name, kLookupFailedReason));
      }
      state->invalidateOnce();
    });
  }

 private:
  RunLoop& runLoop_;
  std::shared_ptr<UnavailableConnectionState> state_;
  std::string name_;
  std::function<void(const PlatformError&)> errorHandler_;
};

class UnavailableXpcConnection final : public XpcConnection {
 public:
  UnavailableXpcConnection(RunLoop& runLoop, std::string name) : runLoop_(runLoop), name_(std::move(name)) {}

  void setExportedInterface(const XpcInterface& /*interface*/) override {}
  void setExportedObject(std::shared_ptr<XpcExportedObject> /*object*/) override {}
  void setRemoteObjectInterface(const XpcInterface& /*interface*/) override {}
  void setInvalidationHandler(std::function<void()> handler) override {
    std::lock_guard lock(state_->mutex);
    state_->invalidationHandler = std::move(handler);
  }
  void resume() override {}
  void invalidate() override {
    runLoop_.dispatchAsyncGlobal([state = state_] {
      std::lock_guard serial(state->serial);
      state->invalidateOnce();
    });
  }
  std::shared_ptr<XpcRemoteProxy> remoteObjectProxyWithErrorHandler(
      std::function<void(const PlatformError&)> handler) override {
    return std::make_shared<UnavailableRemoteProxy>(runLoop_, state_, name_, std::move(handler));
  }

 private:
  RunLoop& runLoop_;
  std::string name_;
  std::shared_ptr<UnavailableConnectionState> state_ = std::make_shared<UnavailableConnectionState>();
};

}  // namespace

std::shared_ptr<XpcConnection> UnavailableXpcConnections::connectionWithMachServiceName(
    const std::string& name, std::uint64_t /*options*/) {
  return std::make_shared<UnavailableXpcConnection>(runLoop_, name);
}

OSStatus UnavailableAuthorizationServices::authorizationCreate(const AuthorizationItemSet* /*rights*/,
                                                               const AuthorizationItemSet* /*environment*/,
                                                               AuthorizationFlags /*flags*/,
                                                               AuthorizationRef* outAuthorization) {
  if (outAuthorization) *outAuthorization = nullptr;
  return errAuthorizationDenied;
}

OSStatus UnavailableAuthorizationServices::authorizationMakeExternalForm(
    AuthorizationRef /*authorization*/, AuthorizationExternalForm* /*outExternalForm*/) {
  return errAuthorizationInvalidRef;
}

OSStatus UnavailableAuthorizationServices::authorizationCreateFromExternalForm(
    const AuthorizationExternalForm& /*externalForm*/, AuthorizationRef* outAuthorization) {
  if (outAuthorization) *outAuthorization = nullptr;
  return errAuthorizationInvalidRef;
}

OSStatus UnavailableAuthorizationServices::authorizationCopyRights(
    AuthorizationRef /*authorization*/, const AuthorizationItemSet& /*rights*/,
    const AuthorizationItemSet* /*environment*/, AuthorizationFlags /*flags*/) {
  return errAuthorizationDenied;
}

OSStatus UnavailableAuthorizationServices::authorizationRightGet(
    const std::string& /*rightName*/, std::optional<PropertyValue>* /*outDefinition*/) {
  return errAuthorizationDenied;
}

OSStatus UnavailableAuthorizationServices::authorizationRightSet(AuthorizationRef /*authorization*/,
                                                                 const std::string& /*rightName*/,
                                                                 const PropertyValue& /*rule*/,
                                                                 const std::string& /*description*/) {
  return errAuthorizationDenied;
}

std::optional<std::string> UnavailableAuthorizationServices::copyErrorMessageString(OSStatus /*status*/) {
  return std::nullopt;
}

bool UnavailableServiceManagement::jobBless(const std::string& /*domain*/,
                                            const std::string& /*executableLabel*/,
                                            AuthorizationRef /*authorization*/,
                                            std::optional<PlatformError>* /*outError*/) {
  return false;
}

}  // namespace brannic::sim
