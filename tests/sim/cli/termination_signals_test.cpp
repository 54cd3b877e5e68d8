// brannic-sim told to stop by a signal while it waits for its next command
// on a pipe: the session ends in order, the temporary machine folder goes,
// and the exit status is the one a shell expects of that signal.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/sim/base/unix_socket.h"
#include "platform/sim/processes/process_runner.h"
#include "tests/support/temp_dir.h"

extern char** environ;

namespace brannic::sim {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

// Far beyond any run here: a run that takes longer hangs.
constexpr auto kDeadline = std::chrono::seconds(60);

// Reads from `fd` into `text` until `until` is in it (empty: until the pipe
// ends); false at the deadline or when the pipe ends first.
bool readUntil(int fd, std::string& text, const std::string& until, Clock::time_point deadline) {
  char buffer[4096];
  while (until.empty() || text.find(until) == std::string::npos) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    pollfd readable{fd, POLLIN, 0};
    if (left <= 0 || ::poll(&readable, 1, static_cast<int>(left)) <= 0) return false;
    const ssize_t count = ::read(fd, buffer, sizeof buffer);
    if (count <= 0) return until.empty();
    text.append(buffer, static_cast<std::size_t>(count));
  }
  return true;
}

TEST(TerminationSignalsTest, SignalEndsTheSessionAndRemovesTheMachineFolder) {
  struct Signal {
    int number;
    std::string name;
  };
  for (const auto& [signal, name] : {Signal{SIGINT, "SIGINT"}, Signal{SIGTERM, "SIGTERM"}, Signal{SIGHUP, "SIGHUP"}}) {
    SCOPED_TRACE(name);
    testing::TempDir temporary;  // where the machine folder is made
    int input[2], output[2];
    ASSERT_EQ(::pipe2(input, O_CLOEXEC), 0);
    ASSERT_EQ(::pipe2(output, O_CLOEXEC), 0);
    OwnedFd inputRead(input[0]), inputWrite(input[1]), outputRead(output[0]), outputWrite(output[1]);

    ChildProcessSpec child;
    child.executable = BRANNIC_SIM_EXECUTABLE;
    for (char** entry = environ; *entry != nullptr; ++entry) {
      if (!std::string(*entry).starts_with("TMPDIR=")) child.environment.emplace_back(*entry);
    }
    child.environment.push_back("TMPDIR=" + temporary.path().string());
    child.standardInput = inputRead.get();
    child.standardOutput = outputWrite.get();
    child.dieWithParent = true;
    const std::optional<int> pid = startChildProcess(child);
    ASSERT_TRUE(pid.has_value());
    inputRead.reset();
    outputWrite.reset();

    // The machine is up and the helper installed; the next command never comes.
    const std::string commands = "launch\nsettle\n";
    ASSERT_EQ(::write(inputWrite.get(), commands.data(), commands.size()), static_cast<ssize_t>(commands.size()));
    const auto deadline = Clock::now() + kDeadline;
    std::string transcript;
    EXPECT_TRUE(readUntil(outputRead.get(), transcript, "> settle\n", deadline)) << transcript;
    EXPECT_FALSE(fs::is_empty(temporary.path())) << "the machine folder is there";

    ::kill(*pid, signal);
    const bool ended = readUntil(outputRead.get(), transcript, "", deadline);
    if (!ended) ::kill(*pid, SIGKILL);
    EXPECT_EQ(waitForChildProcess(*pid), 128 + signal);
    ASSERT_TRUE(ended) << "still running";
    EXPECT_TRUE(transcript.ends_with("\nsim: stopped by " + name + "\n")) << transcript;
    EXPECT_TRUE(fs::is_empty(temporary.path())) << "the machine folder is left behind";
  }
}

}  // namespace
}  // namespace brannic::sim
