#include "platform/macos/process_runner_mac.h"

#import <Foundation/Foundation.h>

#include "platform/macos/foundation_bridge_mac.h"

namespace brannic::mac {

std::optional<ProcessResult> MacProcessRunner::run(const std::string& executablePath,
                                                   const std::vector<std::string>& arguments) {
  @autoreleasepool {
    NSPipe* outputPipe = [NSPipe pipe];
    NSPipe* errorPipe = [NSPipe pipe];
    NSTask* task = [[NSTask alloc] init];
    task.executableURL = [NSURL fileURLWithPath:toNSString(executablePath)];
    task.arguments = toNSStringArray(arguments);
    task.standardInput = [NSFileHandle fileHandleWithNullDevice];
    task.standardOutput = outputPipe;
    task.standardError = errorPipe;
    // The caller is a connection's queue, which has no run loop for
    // -waitUntilExit to spin; the termination handler signals instead. It is
    // set before launch so the ending cannot be missed.
    dispatch_semaphore_t ended = dispatch_semaphore_create(0);
    task.terminationHandler = ^(NSTask*) {
      dispatch_semaphore_signal(ended);
    };
    NSError* error = nil;
    if (![task launchAndReturnError:&error]) return std::nullopt;

    // Both pipes are drained at once: a tool that fills one pipe while this
    // thread waits on the other would never end.
    __block NSData* standardError = nil;
    dispatch_group_t reading = dispatch_group_create();
    dispatch_group_async(reading, dispatch_get_global_queue(QOS_CLASS_DEFAULT, 0), ^{
      standardError = [errorPipe.fileHandleForReading readDataToEndOfFileAndReturnError:nil];
    });
    NSData* standardOutput = [outputPipe.fileHandleForReading readDataToEndOfFileAndReturnError:nil];
    dispatch_group_wait(reading, DISPATCH_TIME_FOREVER);
    dispatch_semaphore_wait(ended, DISPATCH_TIME_FOREVER);

    ProcessResult result;
    result.exitCode = task.terminationReason == NSTaskTerminationReasonUncaughtSignal
                          ? 128 + task.terminationStatus
                          : task.terminationStatus;
    result.standardOutput = toByteString(standardOutput);
    result.standardError = toByteString(standardError);
    return result;
  }
}

}  // namespace brannic::mac
