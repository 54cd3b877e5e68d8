#include "platform/sim/launchd/launchd.h"

#include <poll.h>
#include <signal.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>

#include "platform/sim/processes/process_runner.h"
#include "platform/sim/base/file_io.h"
#include "platform/sim/base/property_list.h"

namespace brannic::sim {

namespace fs = std::filesystem;

namespace {

constexpr auto kTermGrace = std::chrono::seconds(2);

bool isFileName(const std::string& label) {
  return !label.empty() && label != "." && label != ".." && label.find('/') == std::string::npos &&
         label.find('\0') == std::string::npos;
}

// A descriptor that becomes readable when process `pid` ends.
OwnedFd watchExit(int pid) { return OwnedFd(static_cast<int>(::syscall(SYS_pidfd_open, pid, 0))); }

bool waitReadable(int fd, std::chrono::milliseconds timeout) {
  pollfd polled{fd, POLLIN, 0};
  int result;
  do {
    result = ::poll(&polled, 1, static_cast<int>(timeout.count()));
  } while (result < 0 && errno == EINTR);
  return result > 0;
}

PropertyValue jobDefinition(const std::string& label, const std::vector<std::string>& programArguments) {
  PropertyArray arguments;
  for (const auto& argument : programArguments) arguments.emplace_back(argument);
  return PropertyDictionary{{"Label", label},
                            {"ProgramArguments", std::move(arguments)},
                            {"MachServices", PropertyDictionary{{label, true}}}};
}

// The label and program arguments of a job file, or nullopt when it is not
// a job this stand-in can run.
std::optional<std::pair<std::string, std::vector<std::string>>> readJob(const fs::path& path) {
  const std::optional<std::string> text = readFileToString(path);
  if (!text) return std::nullopt;
  const std::optional<PropertyValue> parsed = parseXmlPropertyList(*text);
  const auto* job = parsed ? parsed->get<PropertyDictionary>() : nullptr;
  if (!job) return std::nullopt;
  const auto label = job->find("Label");
  const auto arguments = job->find("ProgramArguments");
  if (label == job->end() || arguments == job->end()) return std::nullopt;
  const auto* labelText = label->second.get<std::string>();
  const auto* argumentList = arguments->second.get<PropertyArray>();
  if (!labelText || !isFileName(*labelText) || !argumentList || argumentList->empty()) return std::nullopt;
  std::vector<std::string> programArguments;
  for (const auto& argument : *argumentList) {
    const auto* argumentText = argument.get<std::string>();
    if (!argumentText) return std::nullopt;
    programArguments.push_back(*argumentText);
  }
  return std::make_pair(*labelText, std::move(programArguments));
}

}  // namespace

std::string SimLaunchd::jobPlistPath(const std::string& machineRoot, const std::string& label) {
  return machineRoot + "/Library/LaunchDaemons/" + label + ".plist";
}
std::string SimLaunchd::helperExecutablePath(const std::string& machineRoot, const std::string& label) {
  return machineRoot + "/Library/PrivilegedHelperTools/" + label;
}
std::string SimLaunchd::serviceSocketPath(const std::string& machineRoot, const std::string& label) {
  return machineRoot + "/var/run/launchd/" + label;
}

SimLaunchd::SimLaunchd(std::string machineRoot, Transcript* transcript, SimXpcTraffic* traffic,
                       Options options)
    : machineRoot_(std::move(machineRoot)), transcript_(transcript), traffic_(traffic), options_(options) {
  std::error_code ignored;
  for (const char* folder : {"/Library/LaunchDaemons", "/Library/PrivilegedHelperTools", "/var/run/launchd"})
    fs::create_directories(machineRoot_ + folder, ignored);
  loadJobs();
  thread_ = std::thread([this] { serve(); });
}

SimLaunchd::~SimLaunchd() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  wake_.wake();
  thread_.join();
}

void SimLaunchd::loadJobs() {
  std::error_code error;
  for (const auto& entry : fs::directory_iterator(machineRoot_ + "/Library/LaunchDaemons", error)) {
    if (entry.path().extension() != ".plist") continue;
    if (auto job = readJob(entry.path()); job && entry.path().stem() == job->first)
      registerJob(job->first, job->second, nullptr);
  }
}

bool SimLaunchd::registerJob(const std::string& label, const std::vector<std::string>& programArguments,
                             std::string* error) {
  auto found = jobs_.find(label);
  if (found == jobs_.end()) {
    Job job;
    job.label = label;
    job.socketPath = serviceSocketPath(machineRoot_, label);
    job.listening = listenOnPath(job.socketPath, 0600, error);
    if (!job.listening.valid()) return false;
    found = jobs_.emplace(label, std::move(job)).first;
  }
  found->second.programArguments = programArguments;
  return true;
}

void SimLaunchd::call(const std::function<void()>& work) {
  std::unique_lock lock(mutex_);
  requests_.push_back(work);
  const std::uint64_t ticket = ++requestsPosted_;
  wake_.wake();
  done_.wait(lock, [&] { return requestsDone_ >= ticket; });
}

void SimLaunchd::serve() {
  for (;;) {
    std::deque<std::function<void()>> requests;
    bool stopping;
    {
      std::lock_guard lock(mutex_);
      stopping = stopping_;
      requests.swap(requests_);
    }
    for (auto& request : requests) {
      request();
      {
        std::lock_guard lock(mutex_);
        ++requestsDone_;
      }
      done_.notify_all();
    }
    if (stopping) {
      // Here, not in the destructor: helpers are bound to this thread's life.
      for (auto& [label, job] : jobs_) {
        stop(job, false);
        ::unlink(job.socketPath.c_str());
      }
      return;
    }

    std::vector<pollfd> polled{{wake_.readFd(), POLLIN, 0}};
    std::vector<Job*> watched;
    for (auto& [label, job] : jobs_) {
      const int fd = job.pid != 0 ? job.exitWatch.get() : job.listening.get();
      if (fd < 0) continue;
      polled.push_back({fd, POLLIN, 0});
      watched.push_back(&job);
    }
    if (::poll(polled.data(), polled.size(), -1) < 0 && errno != EINTR) continue;
    if (polled[0].revents != 0) wake_.drain();
    for (std::size_t i = 0; i < watched.size(); ++i) {
      if (polled[i + 1].revents == 0) continue;
      Job& job = *watched[i];
      if (job.pid != 0) {
        reap(job);
      } else if (!start(job)) {
        // Nobody will serve the waiting clients: turn them away rather than
        // leave them waiting for ever.
        while (acceptConnection(job.listening.get()).valid()) {
        }
      }
    }
  }
}

bool SimLaunchd::start(Job& job) {
  if (job.pid != 0) return true;
  ChildProcessSpec child;
  child.executable = job.programArguments.front();
  child.arguments.assign(job.programArguments.begin() + 1, job.programArguments.end());
  const auto idleSeconds = std::chrono::duration<double>(options_.idleExit).count();
  for (const std::string& argument :
       {std::string("--launchd-fd"), std::string("3"), std::string("--launchd-socket"), job.socketPath,
        std::string("--machine"), machineRoot_, std::string("--idle-exit"), std::to_string(idleSeconds)})
    child.arguments.push_back(argument);
  child.environment = {"PATH=/usr/bin:/bin"};
  child.workingDirectory = machineRoot_;
  child.passedFds = {job.listening.get()};
  child.dieWithParent = true;  // started on this thread, which lives as long as the stand-in
  const std::optional<int> pid = startChildProcess(child);
  if (!pid) {
    emit("cannot start " + job.label);
    return false;
  }
  job.pid = *pid;
  job.exitWatch = watchExit(*pid);
  emit("started " + job.label);
  return true;
}

void SimLaunchd::reap(Job& job) {
  if (job.pid == 0) return;
  waitForChildProcess(job.pid);
  job.pid = 0;
  job.exitWatch.reset();
  emit("exited " + job.label);
}

void SimLaunchd::stop(Job& job, bool immediately) {
  if (job.pid == 0) return;
  if (!immediately) {
    ::kill(job.pid, SIGTERM);
    if (job.exitWatch.valid() && waitReadable(job.exitWatch.get(), kTermGrace)) return reap(job);
  }
  ::kill(job.pid, SIGKILL);
  reap(job);
}

void SimLaunchd::stopFromOutside(const std::string& label, bool immediately) {
  if (jobState(label) != HelperJobState::running) return;
  if (!immediately && traffic_) traffic_->awaitAnswers(options_.quietTimeout);
  call([&] {
    if (auto found = jobs_.find(label); found != jobs_.end()) stop(found->second, immediately);
  });
  if (traffic_) traffic_->awaitConnectionsClosed(label, options_.quietTimeout);
}

bool SimLaunchd::copyExecutable(const std::string& label, const std::string& executable, std::string* error) {
  // Through a new file renamed into place: a running copy is never written.
  const std::string target = helperExecutablePath(machineRoot_, label);
  const std::string staged = target + ".new";
  std::error_code failure;
  fs::copy_file(executable, staged, fs::copy_options::overwrite_existing, failure);
  if (!failure) fs::permissions(staged, fs::perms(0755), failure);
  if (!failure) fs::rename(staged, target, failure);
  if (failure) {
    fs::remove(staged, failure);
    if (error) *error = "cannot copy " + executable + ": " + failure.message();
    return false;
  }
  return true;
}

bool SimLaunchd::writeJob(const std::string& label, const std::string& executable,
                          const std::optional<std::string>& reportedVersion, std::string* error) {
  if (!isFileName(label)) {
    if (error) *error = "\"" + label + "\" cannot name a job";
    return false;
  }
  if (!fs::is_regular_file(executable)) {
    if (error) *error = "no helper at " + executable;
    return false;
  }
  if (!copyExecutable(label, executable, error)) return false;
  std::vector<std::string> programArguments{helperExecutablePath(machineRoot_, label)};
  if (reportedVersion) {
    programArguments.push_back("--report-version");
    programArguments.push_back(*reportedVersion);
  }
  if (!writeStringToFileAtomically(jobPlistPath(machineRoot_, label),
                                   xmlPropertyListText(jobDefinition(label, programArguments)))) {
    if (error) *error = "cannot write " + jobPlistPath(machineRoot_, label);
    return false;
  }
  bool registered = false;
  call([&] { registered = registerJob(label, programArguments, error); });
  return registered;
}

bool SimLaunchd::bless(const std::string& label, const std::string& executable, std::string* error) {
  if (isFileName(label)) stopFromOutside(label, false);
  if (!writeJob(label, executable, std::nullopt, error)) return false;
  emit("blessed " + label);
  return true;
}

bool SimLaunchd::install(const std::string& label, const std::string& executable,
                         const std::optional<std::string>& reportedVersion, std::string* error) {
  if (isFileName(label)) stopFromOutside(label, false);
  return writeJob(label, executable, reportedVersion, error);
}

void SimLaunchd::remove(const std::string& label) {
  if (!isFileName(label)) return;
  stopFromOutside(label, false);
  call([&] {
    if (auto found = jobs_.find(label); found != jobs_.end()) {
      ::unlink(found->second.socketPath.c_str());
      jobs_.erase(found);
    }
  });
  std::error_code ignored;
  fs::remove(jobPlistPath(machineRoot_, label), ignored);
  fs::remove(helperExecutablePath(machineRoot_, label), ignored);
}

bool SimLaunchd::kill(const std::string& label) {
  if (jobState(label) != HelperJobState::running) return false;
  stopFromOutside(label, true);
  return true;
}

HelperJobState SimLaunchd::jobState(const std::string& label) {
  HelperJobState state = HelperJobState::absent;
  call([&] {
    if (auto found = jobs_.find(label); found != jobs_.end())
      state = found->second.pid != 0 ? HelperJobState::running : HelperJobState::stopped;
  });
  return state;
}

int SimLaunchd::helperPid(const std::string& label) {
  int pid = 0;
  call([&] {
    if (auto found = jobs_.find(label); found != jobs_.end()) pid = found->second.pid;
  });
  return pid;
}

std::optional<std::string> SimLaunchd::lookUpService(const std::string& name) {
  std::optional<std::string> path;
  call([&] {
    auto found = jobs_.find(name);
    if (found != jobs_.end() && start(found->second)) path = found->second.socketPath;
  });
  return path;
}

void SimLaunchd::emit(const std::string& text) {
  if (transcript_) transcript_->emit("launchd", escapeText(text));
}

}  // namespace brannic::sim
