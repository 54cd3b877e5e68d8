// The simulated machine's launchd, system domain only. The domain is a
// folder of the machine:
//   Library/LaunchDaemons/<label>.plist       the job (Label, ProgramArguments, MachServices)
//   Library/PrivilegedHelperTools/<label>     the helper's executable
//   var/run/launchd/<label>                   the service's socket (mode 0600)
//
// The stand-in owns each job's listening socket. The first connection to a
// service that is not running starts its helper on demand; the helper gets
// the socket as descriptor 3 and these arguments after the job's own:
//   --launchd-fd 3 --launchd-socket <socket> --machine <machine folder> --idle-exit <seconds>
// When the helper ends (killed, crashed, or idle for that long), the next
// connection starts it again. Helpers die with the stand-in: they get
// SIGKILL if the simulator goes away, and the destructor stops them.
//
// Transcript (`launchd:` channel): `blessed <label>`, `started <label>`,
// `exited <label>`, and `cannot start <label>` when the executable does not
// run.
//
// Determinism: replacing or killing a running helper first lets the
// application's messages in flight be answered, and afterwards waits until
// the application's connections to it have noticed (each wait at most 5 s
// of real time), so the transcript does not depend on timing.
#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "platform/sim/xpc/service_lookup.h"
#include "platform/sim/base/unix_socket.h"
#include "platform/sim/xpc/traffic.h"
#include "platform/sim/base/transcript.h"

namespace brannic::sim {

enum class HelperJobState { absent, stopped, running };

class SimLaunchd final : public SimXpcServiceLookup {
 public:
  struct Options {
    // A helper with no connection for this long exits.
    std::chrono::milliseconds idleExit{std::chrono::seconds(60)};
    // How long replacing a helper waits for answers and for its clients.
    std::chrono::milliseconds quietTimeout{std::chrono::seconds(5)};
  };

  static std::string jobPlistPath(const std::string& machineRoot, const std::string& label);
  static std::string helperExecutablePath(const std::string& machineRoot, const std::string& label);
  static std::string serviceSocketPath(const std::string& machineRoot, const std::string& label);

  // Loads the jobs the domain already holds (a kept machine, a helper set up
  // before launch); a job file that cannot be read is left alone. `transcript`
  // and `traffic` may be null. REQUIRES: they outlive this.
  SimLaunchd(std::string machineRoot, Transcript* transcript, SimXpcTraffic* traffic, Options options);
  SimLaunchd(std::string machineRoot, Transcript* transcript, SimXpcTraffic* traffic)
      : SimLaunchd(std::move(machineRoot), transcript, traffic, Options{}) {}
  // Stops every helper (SIGTERM, then SIGKILL after 2 s) and removes the
  // sockets.
  ~SimLaunchd() override;
  SimLaunchd(const SimLaunchd&) = delete;
  SimLaunchd& operator=(const SimLaunchd&) = delete;

  // SMJobBless's work: copies the helper at `executable` into the domain and
  // registers its job under `label`, replacing a job of that label (a
  // running helper is stopped first). Prints `blessed <label>`. False, with
  // `error` saying why, when the helper cannot be copied or registered.
  bool bless(const std::string& label, const std::string& executable, std::string* error);
  // The same without a transcript line, for setting the machine up: the
  // helper reports `reportedVersion` instead of its own when one is given.
  bool install(const std::string& label, const std::string& executable,
               const std::optional<std::string>& reportedVersion, std::string* error);
  // Removes the job and its files, stopping its helper.
  void remove(const std::string& label);
  // The running helper dies at once (SIGKILL); prints `exited <label>`.
  // False when it was not running.
  bool kill(const std::string& label);

  HelperJobState jobState(const std::string& label);
  // The process id of the job's running helper, or 0 when it is not running.
  int helperPid(const std::string& label);

  std::optional<std::string> lookUpService(const std::string& name) override;

 private:
  struct Job {
    std::string label;
    std::vector<std::string> programArguments;
    std::string socketPath;
    OwnedFd listening;
    int pid = 0;        // 0: not running
    OwnedFd exitWatch;  // readable once the helper has ended
  };

  // Runs `work` on the stand-in's thread and waits for it.
  void call(const std::function<void()>& work);
  void serve();
  void loadJobs();
  bool registerJob(const std::string& label, const std::vector<std::string>& programArguments,
                   std::string* error);
  bool writeJob(const std::string& label, const std::string& executable,
                const std::optional<std::string>& reportedVersion, std::string* error);
  bool copyExecutable(const std::string& label, const std::string& executable, std::string* error);
  // On the stand-in's thread:
  bool start(Job& job);
  void reap(Job& job);
  void stop(Job& job, bool immediately);
  // Stops a running helper from another thread, deterministically (see above).
  void stopFromOutside(const std::string& label, bool immediately);
  void emit(const std::string& text);

  const std::string machineRoot_;
  Transcript* const transcript_;
  SimXpcTraffic* const traffic_;
  const Options options_;
  WakePipe wake_;

  std::mutex mutex_;
  std::condition_variable done_;
  std::deque<std::function<void()>> requests_;
  std::uint64_t requestsPosted_ = 0;
  std::uint64_t requestsDone_ = 0;
  bool stopping_ = false;

  std::map<std::string, Job> jobs_;  // the stand-in's thread only, once it runs
  std::thread thread_;
};

}  // namespace brannic::sim
