// The application's window: its controls, each known by the outlet name the
// interface file connects it to.
#pragma once

#include <string_view>

#include "platform/sim/appkit/controls.h"
#include "platform/sim/appkit/text_view.h"
#include "platform/sim/base/transcript.h"

namespace brannic::sim {

struct SimWindow {
  explicit SimWindow(Transcript& transcript);
  SimWindow(const SimWindow&) = delete;
  SimWindow& operator=(const SimWindow&) = delete;

  // The button, check box, text field or text view with this outlet name,
  // or null.
  SimButton* button(std::string_view outlet);
  SimTextField* textField(std::string_view outlet);
  SimTextView* textView(std::string_view outlet);
  // Whether any control has this outlet name.
  bool hasOutlet(std::string_view outlet);

  SimButton buttonInstallHelper;
  SimButton buttonDestroyCachedAuthorization;
  SimButton buttonRunCommand;
  SimTextField textFieldHelperInstalled;
  SimTextField textFieldAuthorizationCached;
  SimTextField textFieldInput;
  SimTextView textViewOutput;
  SimButton checkboxRequireAuthentication;
  SimButton checkboxCacheAuthentication;
};

}  // namespace brannic::sim
