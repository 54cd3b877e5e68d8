// A throwaway simulated machine for the benchmarks that reach the real
// helper process: launchd with the helper installed, the application's side
// of the transport and a main run loop.
#pragma once

#include <stdlib.h>
#include <sys/stat.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "build_config.h"
#include "helper_client/helper_label.h"
#include "helper_client/helper_protocol.h"
#include "platform/sim/launchd/launchd.h"
#include "platform/sim/run_loop/run_loop.h"
#include "platform/sim/xpc/connections.h"
#include "platform/sim/xpc/traffic.h"

namespace brannic::sim {

// A throwaway machine with the helper installed and a power tool that
// does nothing.
class BenchMachine {
 public:
  static inline const std::string kLabel{HelperLabel};
  static inline const std::string kHelper =
      BRANNIC_BINARY_DIR "/Brannic.app/Contents/Library/LaunchServices/" + kLabel;

  BenchMachine() {
    std::string pattern = "/tmp/bc1-bench-XXXXXX";
    if (::mkdtemp(pattern.data())) root_ = pattern;
    std::filesystem::create_directories(root_ + "/usr/bin");
    std::ofstream(root_ + "/usr/bin/pmset") << "#!/bin/sh\nexit 0\n";
    ::chmod((root_ + "/usr/bin/pmset").c_str(), 0755);
    launchd_ = std::make_unique<SimLaunchd>(root_, nullptr, &traffic_);
    std::string error;
    installed_ = launchd_->install(kLabel, kHelper, std::nullopt, &error);
    connections_ = std::make_unique<SimXpcConnections>(*launchd_, &traffic_);
  }
  ~BenchMachine() {
    connections_.reset();
    launchd_.reset();
    std::error_code ignored;
    std::filesystem::remove_all(root_, ignored);
  }

  bool installed() const { return installed_; }
  const std::string& root() const { return root_; }
  // The application's process ends: its connections close, and this
  // returns once the helper has handled that.
  void endApplication() { connections_->abandonAll(std::chrono::seconds(5)); }
  SimRunLoop& runLoop() { return runLoop_; }
  SimLaunchd& launchd() { return *launchd_; }

  std::shared_ptr<XpcConnection> connect() {
    auto connection = connections_->connectionWithMachServiceName(kLabel, NSXPCConnectionPrivileged);
    connection->setRemoteObjectInterface(helperProtocolInterface());
    connection->resume();
    return connection;
  }

  // Sends one request and runs the main loop until its reply has been
  // handled there. Returns the time that took, or nullopt when it failed.
  std::optional<double> roundTrip(XpcConnection& connection, const std::string& selector,
                                  std::vector<XpcValue> arguments) {
    bool handled = false;
    bool failed = false;
    std::chrono::steady_clock::time_point end;
    auto proxy = connection.remoteObjectProxyWithErrorHandler(
        [&](const PlatformError&) { runLoop_.addOperationToMainQueue([&] { failed = handled = true; }); });
    const auto start = std::chrono::steady_clock::now();
    proxy->send(selector, std::move(arguments), [&](XpcValue) {
      runLoop_.addOperationToMainQueue([&] {
        end = std::chrono::steady_clock::now();
        handled = true;
      });
    });
    runLoop_.runUntil([&] { return handled; });
    if (failed) return std::nullopt;
    return std::chrono::duration<double, std::micro>(end - start).count();
  }

 private:
  std::string root_;
  SimRunLoop runLoop_{ClockKind::virtualClock};
  SimXpcTraffic traffic_{nullptr, nullptr};
  std::unique_ptr<SimLaunchd> launchd_;
  std::unique_ptr<SimXpcConnections> connections_;
  bool installed_ = false;
};

}  // namespace brannic::sim
