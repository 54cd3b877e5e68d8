#include "helper_client/helper_protocol.h"

#include <utility>

#include "helper_client/helper_label.h"

namespace brannic {

std::string authorizationRightName(std::string_view selector) {
  return std::string(HelperLabel) + "." + std::string(selector);
}

std::string authorizedRequestRightName() {
  return authorizationRightName(selectors::runCommandLsWithPathAuthDataCompletion);
}

const XpcInterface& helperProtocolInterface() {
  static const XpcInterface interface{
      "HelperProtocol",
      {
          {selectors::getVersionWithCompletion, {}, XpcClass::string, "v24@0:8@?16"},
          {selectors::runCommandLsWithPathCompletion, {XpcClass::string}, XpcClass::number, "v32@0:8@16@?24"},
          {selectors::runCommandLsWithPathAuthDataCompletion,
           {XpcClass::string, XpcClass::data},
           XpcClass::number,
           "v40@0:8@16@24@?32"},
      }};
  return interface;
}

const XpcInterface& appProtocolInterface() {
  static const XpcInterface interface{"AppProtocol",
                                      {
                                          {selectors::logWithStdOut, {XpcClass::string}, std::nullopt, "v24@0:8@16"},
                                          {selectors::logWithStdErr, {XpcClass::string}, std::nullopt, "v24@0:8@16"},
                                      }};
  return interface;
}

namespace {

// nil arrives where an object was declared; the receiving method sees the
// empty value of its type.
std::string stringArgument(const XpcValue& value) {
  if (const auto* text = std::get_if<std::string>(&value)) return *text;
  return {};
}
XpcData dataArgument(const XpcValue& value) {
  if (const auto* data = std::get_if<XpcData>(&value)) return *data;
  return {};
}
std::int64_t numberArgument(const XpcValue& value) {
  if (const auto* number = std::get_if<std::int64_t>(&value)) return *number;
  return 0;
}

class HelperProtocolExport final : public XpcExportedObject {
 public:
  explicit HelperProtocolExport(HelperProtocol& target) : target_(target) {}
  // The connection has checked the selector and argument classes against
  // the exported interface before calling.
  void invoke(const std::string& selector, std::vector<XpcValue> arguments, XpcReply reply) override {
    auto replyNumber = [reply](std::int64_t code) { reply(XpcValue{code}); };
    if (selector == selectors::getVersionWithCompletion) {
      target_.getVersionWithCompletion([reply](std::string version) { reply(XpcValue{std::move(version)}); });
    } else if (selector == selectors::runCommandLsWithPathCompletion && arguments.size() == 1) {
      target_.runCommandLsWithPath(stringArgument(arguments[0]), replyNumber);
    } else if (selector == selectors::runCommandLsWithPathAuthDataCompletion && arguments.size() == 2) {
      target_.runCommandLsWithPath(stringArgument(arguments[0]), dataArgument(arguments[1]), replyNumber);
    }
  }

 private:
  HelperProtocol& target_;
};

class AppProtocolExport final : public XpcExportedObject {
 public:
  explicit AppProtocolExport(AppProtocol& target) : target_(target) {}
  void invoke(const std::string& selector, std::vector<XpcValue> arguments, XpcReply) override {
    if (arguments.size() != 1) return;
    if (selector == selectors::logWithStdOut) target_.logWithStdOut(stringArgument(arguments[0]));
    if (selector == selectors::logWithStdErr) target_.logWithStdErr(stringArgument(arguments[0]));
  }

 private:
  AppProtocol& target_;
};

}  // namespace

std::shared_ptr<XpcExportedObject> exportHelperProtocol(HelperProtocol& target) {
  return std::make_shared<HelperProtocolExport>(target);
}
std::shared_ptr<XpcExportedObject> exportAppProtocol(AppProtocol& target) {
  return std::make_shared<AppProtocolExport>(target);
}

void HelperProxy::getVersionWithCompletion(VersionReply reply) {
  proxy_->send(selectors::getVersionWithCompletion, {},
               [reply = std::move(reply)](XpcValue value) { reply(stringArgument(value)); });
}

void HelperProxy::runCommandLsWithPath(std::string path, ExitCodeReply reply) {
  proxy_->send(selectors::runCommandLsWithPathCompletion, {XpcValue{std::move(path)}},
               [reply = std::move(reply)](XpcValue value) { reply(numberArgument(value)); });
}

void HelperProxy::runCommandLsWithPath(std::string path, XpcData authData, ExitCodeReply reply) {
  proxy_->send(selectors::runCommandLsWithPathAuthDataCompletion,
               {XpcValue{std::move(path)}, XpcValue{std::move(authData)}},
               [reply = std::move(reply)](XpcValue value) { reply(numberArgument(value)); });
}

void AppProxy::logWithStdOut(std::string text) {
  proxy_->send(selectors::logWithStdOut, {XpcValue{std::move(text)}}, nullptr);
}

void AppProxy::logWithStdErr(std::string text) {
  proxy_->send(selectors::logWithStdErr, {XpcValue{std::move(text)}}, nullptr);
}

}  // namespace brannic
