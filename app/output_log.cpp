#include "app/output_log.h"

#include <utility>

#include "app/app_delegate.h"

namespace brannic {

void appendText(RunLoop& runLoop, AppKit& appKit, TextView* textView, std::string message) {
  // The text view is only touched on the main thread. It belongs to the
  // window, which lives as long as the application.
  runLoop.dispatchAsyncMain([&appKit, textView, message = std::move(message)] {
    if (textView == nullptr) return;
    const Font font = appKit.systemFontOfSize(appKit.smallSystemFontSize());
    if (TextStorage* storage = textView->textStorage()) storage->appendAttributedString({message + "\n", font});
    textView->scrollRangeToVisible(TextRange{textView->stringLength(), 0});
  });
}

void AppDelegate::appendToLog(std::string message) {
  appendText(platform_.runLoop, platform_.appKit, textViewOutput, std::move(message));
}

void AppDelegate::logWithStdOut(std::string text) { logHelperText(std::move(text)); }

void AppDelegate::logWithStdErr(std::string text) { logHelperText(std::move(text)); }

// Called on the connection's queue: nothing is touched before the hop to the
// main operation queue. The delegate lives for the whole process, so the
// queued block may hold it.
void AppDelegate::logHelperText(std::string text) {
  if (text.empty()) return;
  platform_.runLoop.addOperationToMainQueue([this, text = std::move(text)]() mutable { appendToLog(std::move(text)); });
}

}  // namespace brannic
