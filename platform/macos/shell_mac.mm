#include "platform/macos/shell_mac.h"

#import <Foundation/Foundation.h>

#include "platform/macos/foundation_bridge_mac.h"

namespace brannic::mac {

std::optional<std::string> MacShell::launchAndReadStandardOutput(const std::string& launchPath,
                                                                 const std::vector<std::string>& arguments) {
  @autoreleasepool {
    NSPipe* pipe = [NSPipe pipe];
    NSTask* task = [[NSTask alloc] init];
    task.executableURL = [NSURL fileURLWithPath:toNSString(launchPath)];
    task.arguments = toNSStringArray(arguments);
    task.standardOutput = pipe;
    // launchAndReturnError: rather than launch: a tool that cannot be started
    // is an answer here, not an exception that would end the application.
    NSError* error = nil;
    if (![task launchAndReturnError:&error]) return std::nullopt;
    // The task closed the pipe's write end in this process when it launched,
    // so end of file comes once the child and its children are done writing.
    NSData* output = [pipe.fileHandleForReading readDataToEndOfFileAndReturnError:&error];
    return toByteString(output);
  }
}

}  // namespace brannic::mac
