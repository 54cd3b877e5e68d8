#include "platform/sim/appkit/window.h"

#include <array>

namespace brannic::sim {

SimWindow::SimWindow(Transcript& transcript)
    : buttonInstallHelper(transcript, "buttonInstallHelper", SimButton::Kind::pushButton),
      buttonDestroyCachedAuthorization(transcript, "buttonDestroyCachedAuthorization",
                                       SimButton::Kind::pushButton),
      buttonRunCommand(transcript, "buttonRunCommand", SimButton::Kind::pushButton),
      textFieldHelperInstalled(transcript, "textFieldHelperInstalled", /*editable=*/false),
      textFieldAuthorizationCached(transcript, "textFieldAuthorizationCached", /*editable=*/false),
      textFieldInput(transcript, "textFieldInput", /*editable=*/true),
      textViewOutput(transcript, "textViewOutput"),
      checkboxRequireAuthentication(transcript, "checkboxRequireAuthentication", SimButton::Kind::checkBox),
      checkboxCacheAuthentication(transcript, "checkboxCacheAuthentication", SimButton::Kind::checkBox) {}

SimButton* SimWindow::button(std::string_view outlet) {
  const std::array buttons{&buttonInstallHelper, &buttonDestroyCachedAuthorization, &buttonRunCommand,
                           &checkboxRequireAuthentication, &checkboxCacheAuthentication};
  for (SimButton* candidate : buttons) {
    if (candidate->outlet() == outlet) return candidate;
  }
  return nullptr;
}

SimTextField* SimWindow::textField(std::string_view outlet) {
  const std::array fields{&textFieldHelperInstalled, &textFieldAuthorizationCached, &textFieldInput};
  for (SimTextField* candidate : fields) {
    if (candidate->outlet() == outlet) return candidate;
  }
  return nullptr;
}

SimTextView* SimWindow::textView(std::string_view outlet) {
  return textViewOutput.outlet() == outlet ? &textViewOutput : nullptr;
}

bool SimWindow::hasOutlet(std::string_view outlet) {
  return button(outlet) != nullptr || textField(outlet) != nullptr || textView(outlet) != nullptr;
}

}  // namespace brannic::sim
