#include "platform/sim/machine/machine.h"

#include <filesystem>
#include <stdexcept>
#include <system_error>

#include "build_config.h"
#include "lid_alarm/view_controller.h"
#include "platform/sim/base/file_io.h"
#include "platform/sim/bundle/info_plist.h"

namespace brannic::sim {
namespace fs = std::filesystem;
namespace {

std::string makeFolder(const std::string& path) {
  std::error_code error;
  fs::create_directories(path, error);
  if (error) throw std::runtime_error("cannot make " + path + ": " + error.message());
  return path;
}

// Installs the application at `target`: a fresh copy of the template (none:
// an empty bundle), replacing any copy a kept machine has from an earlier
// run. Returns `target`.
std::string installBundle(const std::string& target, const std::string& bundleTemplate) {
  std::error_code error;
  fs::remove_all(target, error);
  if (error) throw std::runtime_error("cannot remove the old " + target + ": " + error.message());
  makeFolder(target + "/Contents/Resources");
  if (bundleTemplate.empty()) return target;
  fs::copy(
      bundleTemplate, target,
      fs::copy_options::recursive | fs::copy_options::overwrite_existing | fs::copy_options::copy_symlinks,
      error);
  if (error) {
    throw std::runtime_error("cannot copy the bundle template " + bundleTemplate + " to " + target + ": " +
                             error.message());
  }
  return target;
}

}  // namespace

SimMac::SimMac(Transcript& transcript, SimMacOptions options)
    : transcript_(transcript),
      options_(std::move(options)),
      machine_(options_.keepMachineAt),
      runLoop_(options_.clock),
      console_(transcript),
      systemLog_(transcript),
      registry_(makeFolder(machine_.path() + "/usr/sbin")),
      shell_(registry_.binDirectory()),
      audioHardware_(&transcript),
      audioPlayers_(&transcript, &runLoop_),
      bundle_(installBundle(bundlePath(), options_.bundleTemplate)),
      appKit_(transcript, bundle_),
      xpcTraffic_(&transcript, &runLoop_),
      launchd_(machine_.path(), &transcript, &xpcTraffic_),
      xpc_(launchd_, &xpcTraffic_),
      authorization_(machine_.path(), &transcript),
      serviceManagement_(authorization_.services(), bundlePath() + "/Contents/Library/LaunchServices",
                         [this](const std::string& label, const std::string& executable, std::string* error) {
                           return launchd_.bless(label, executable, error);
                         }),
      power_(machine_.path(), &transcript),
      machineLog_(machine_.path(), &transcript),
      notificationCenter_(runLoop_),
      screen_(notificationCenter_, &transcript),
      dynamicLoader_(screen_),
      platform_{runLoop_,
                console_,
                systemLog_,
                shell_,
                audioHardware_,
                audioPlayers_,
                bundle_,
                appKit_,
                xpc_,
                authorization_.services(),
                serviceManagement_,
                dynamicLoader_,
                notificationCenter_} {
  appKit_.setLauncher([this] { loadMainInterface(); });
  bundle_.setEmbeddedInfoReader(readEmbeddedInfoPlist);
  // The helper changes the sleep setting and writes its log behind the
  // simulator's back: look before each of its messages is handled, so the
  // change shows first. The
  // look is queued on the main thread ahead of the message's own handling,
  // so the line lands in the transcript where the main thread is, never in
  // the middle of another command.
  xpcTraffic_.setIncomingHook([this] { runLoop_.addOperationToMainQueue([this] { lookAtMachine(); }); });
  // Messages to the helper leave only while the main thread waits for them,
  // so what the helper does has a fixed place in the transcript, on either
  // clock.
  xpcTraffic_.setHoldOutgoing(true);
  runLoop_.setExternalWorkTimeout(options_.answerTimeout);
  runLoop_.setExternalWorkWaitHook([this](bool waiting) {
    if (waiting) {
      xpcTraffic_.openWindow();
    } else {
      xpcTraffic_.closeWindow();
    }
  });
}

SimMac::~SimMac() {
  // Nothing the teardown does is an event of the run.
  transcript_.close();
  // The application's process ends first, so the helper sees its
  // connections end, and handles that, before launchd stops it.
  if (application_) endApplicationProcess();
  runLoop_.joinGlobalWork();
  // The run loop outlives the transport it opens for waiting posts.
  runLoop_.setExternalWorkWaitHook(nullptr);
}

std::string SimMac::bundlePath() const { return machine_.path() + "/Applications/" + kBundleName; }

bool SimMac::launch() {
  if (application_) return false;
  char programName[] = "Brannic";
  char* arguments[] = {programName, nullptr};
  appKit_.applicationMain(1, arguments);
  return true;
}

// What the application main function does before it enters the event loop:
// load the main interface file, make its delegate the application's, finish
// launching.
void SimMac::loadMainInterface() {
  application_ = std::make_unique<MainInterface>(platform_, transcript_);
  AppDelegate& delegate = application_->delegate();
  appKit_.setResponderChain([](std::string_view selector) { return AppDelegate::respondsToAction(selector); },
                            [&delegate](const std::string& selector) { delegate.performAction(selector); });
  delegate.applicationDidFinishLaunching();
}

void SimMac::crashApplication() {
  endApplicationProcess();
  // The crashed process's player goes with it.
  releaseAlarmPlayer();
}

void SimMac::endApplicationProcess() {
  // Global-queue blocks may still reach into the application; they finish
  // before it goes.
  runLoop_.joinGlobalWork();
  xpc_.abandonAll(options_.answerTimeout);
  runLoop_.discardWork();
  appKit_.setResponderChain(nullptr, nullptr);
  application_.reset();
}

void SimMac::lookAtMachine() {
  power_.poll();
  machineLog_.poll();
}

void SimMac::settle() {
  const SimXpcTraffic::OutgoingWindow messagesGo(xpcTraffic_);
  const auto unanswered = runLoop_.settle(options_.answerTimeout);
  lookAtMachine();
  for (const std::string& label : unanswered) {
    transcript_.emit("sim", "no answer from " + escapeText(label));
  }
}

void SimMac::advance(double seconds, const std::function<bool()>& stop) {
  if (runLoop_.clock() == ClockKind::realClock && stop) {
    runLoop_.runUntil(stop, runLoop_.now() + seconds, [this] { settle(); });
    return;
  }
  runLoop_.advance(seconds, [this] { settle(); });
}

void SimMac::runUntil(const std::function<bool()>& stop) {
  runLoop_.runUntil(stop, std::nullopt, [this] { settle(); });
}

std::optional<std::string> SimMac::templateResource(const std::string& fileName) const {
  if (options_.bundleTemplate.empty()) return std::nullopt;
  return readFileToString(options_.bundleTemplate + "/Contents/Resources/" + fileName);
}

std::string findBundleTemplate(const std::string& executablePath) {
  std::error_code error;
  const auto isBundle = [&error](const fs::path& folder) {
    return fs::is_directory(folder / "Contents", error);
  };
  fs::path folder = fs::path(executablePath).parent_path();
  for (int level = 0; level < 3 && !folder.empty(); ++level) {
    if (isBundle(folder / SimMac::kBundleName)) return (folder / SimMac::kBundleName).string();
    folder = folder.parent_path();
  }
  const fs::path built = fs::path(BRANNIC_BINARY_DIR) / SimMac::kBundleName;
  if (isBundle(built)) return built.string();
  return "";
}

}  // namespace brannic::sim
