// The authorization layer's error: one case, `message`, carrying a text.
#pragma once

#include <stdexcept>
#include <string>

namespace brannic {

class HelperAuthorizationError : public std::runtime_error {
 public:
  static HelperAuthorizationError message(std::string text) { return HelperAuthorizationError(std::move(text)); }

  const std::string& text() const { return text_; }
  // How the error reads in a log line: message("<text>").
  std::string description() const { return "message(\"" + text_ + "\")"; }
  // The error as a platform error object: the module-qualified type name as
  // domain, code 0, no user information.
  static constexpr const char* domain = "Brannic.HelperAuthorizationError";

 private:
  explicit HelperAuthorizationError(std::string text) : std::runtime_error(text), text_(std::move(text)) {}
  std::string text_;
};

}  // namespace brannic
