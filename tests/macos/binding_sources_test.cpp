// Calls of the macOS bindings whose effect only a running Mac shows (how the
// system delivers notifications, when a hidden application's timers fire,
// how the menu bar draws an icon, on which queue a handler runs), checked
// where the binding makes them: the message and its arguments in the source,
// with comments and line breaks taken out.
#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <sstream>
#include <string>

namespace brannic {
namespace {

// The source of a binding with comments removed and every run of blanks and
// line breaks made one blank.
std::string bindingSource(const std::string& name) {
  const std::string path = std::string(BRANNIC_MACOS_BINDINGS_DIR) + "/" + name;
  std::ifstream file(path);
  if (!file) throw std::runtime_error("cannot open " + path);
  std::ostringstream text;
  text << file.rdbuf();
  const std::string withoutComments = std::regex_replace(text.str(), std::regex("//[^\n]*"), " ");
  return std::regex_replace(withoutComments, std::regex("\\s+"), " ");
}

struct Call {
  const char* why;
  const char* file;
  const char* pattern;  // on the normalised source
  bool present;         // false: the binding must not make this call
};

TEST(MacBindingSources, MakeTheCallsThatOnlyAMacCanShow) {
  const Call calls[] = {
      {"the screen observers are delivered while the application is not active", "notification_center_mac.mm",
       R"(\[center addObserver:\w+ selector:@selector\(notificationPosted:\) name:toNSString\(name\) )"
       R"(object:nil suspensionBehavior:NSNotificationSuspensionBehaviorDeliverImmediately\])",
       true},
      {"the block form coalesces postings while the application is inactive", "notification_center_mac.mm",
       R"(addObserverForName:)", false},
      {"each posting reaches its block through the main operation queue", "notification_center_mac.mm",
       R"(- \(void\)notificationPosted:\(NSNotification\*\)notification \{[^}]*)"
       R"(\[\[NSOperationQueue mainQueue\] addOperationWithBlock:\^\{ block\()",
       true},
      {"the watch fires while the status menu is open", "run_loop_mac.mm",
       R"(\[\[NSRunLoop mainRunLoop\] addTimer:scheduled forMode:NSRunLoopCommonModes\])", true},
      {"a scheduled timer would run in the default mode only", "run_loop_mac.mm",
       R"(scheduledTimerWithTimeInterval:)", false},
      {"a valid watch keeps the application out of App Nap", "run_loop_mac.mm",
       R"(activity_ = \[\[NSProcessInfo processInfo\] beginActivityWithOptions:NSActivityLatencyCritical \| )"
       R"(NSActivityUserInitiatedAllowingIdleSystemSleep reason:@"[^"]+"\];)",
       true},
      {"invalidating the watch ends the activity", "run_loop_mac.mm",
       R"(void invalidate\(\) override \{ \[timer_ invalidate\]; endActivity\(\); \})", true},
      {"the activity ends once", "run_loop_mac.mm",
       R"(void endActivity\(\) \{ if \(activity_ == nil\) return; )"
       R"(\[\[NSProcessInfo processInfo\] endActivity:activity_\]; activity_ = nil; \})",
       true},
      {"the status icon is tinted for the menu bar's appearance", "app_kit_mac.mm",
       R"(NSImage\* image = \[NSImage imageNamed:toNSString\(name\)\]; \[image setTemplate:YES\]; )"
       R"(return toImageRef\(image\);)",
       true},
      {"refused messages end on a serial queue", "xpc_mac.mm",
       R"(refusals_\(dispatch_queue_create\("[^"]+", DISPATCH_QUEUE_SERIAL\)\))", true},
      {"refused messages end on that queue", "xpc_mac.mm",
       R"(dispatch_async\(refusals_, \^\{ handler\(error\); \}\);)", true},
      {"no handler runs on a concurrent queue", "xpc_mac.mm", R"(dispatch_get_global_queue)", false},
  };
  for (const Call& call : calls) {
    SCOPED_TRACE(std::string(call.file) + ": " + call.why);
    const bool found = std::regex_search(bindingSource(call.file), std::regex(call.pattern));
    EXPECT_EQ(found, call.present) << call.pattern;
  }
}

}  // namespace
}  // namespace brannic
