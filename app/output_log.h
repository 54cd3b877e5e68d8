// The window's output log: one entry per message, in the small system font.
#pragma once

#include <string>

#include "platform/app_kit.h"
#include "platform/run_loop.h"

namespace brannic {

// Appends `message` and a line feed to `textView`'s text storage and scrolls
// the end into view. Returns at once; the work runs later on the main
// dispatch queue. Callable from any thread.
// A null text view (the window not loaded) drops the message.
// REQUIRES: `runLoop`, `appKit` and a non-null `textView` outlive the
// queued work.
void appendText(RunLoop& runLoop, AppKit& appKit, TextView* textView, std::string message);

}  // namespace brannic
