// brannic-sim at a terminal: its standard input and error on a
// pseudo-terminal, its transcript read from a pipe. Commands typed there
// print the transcript the same commands print as a script, but for the
// script's echo and the lines of the watch's timer, which fires on the real
// clock whenever its time comes.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "build_config.h"
#include "platform/sim/base/unix_socket.h"
#include "platform/sim/processes/process_runner.h"

extern char** environ;

namespace brannic::sim {
namespace {

using Lines = std::vector<std::string>;

const std::string kDemoScript = BRANNIC_SOURCE_DIR "/platform/sim/demo.sim";
// Far beyond any run here: a run that takes longer hangs.
constexpr auto kDeadline = std::chrono::seconds(60);
constexpr std::string_view kPrompt = "brannic> ";

struct SimRun {
  std::string transcript;
  int exitStatus = -1;
};

std::string contentsOf(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  std::stringstream text;
  text << file.rdbuf();
  return text.str();
}

// What the owner types at the terminal: a line once brannic-sim prompts
// for it, or (`atPrompt` false) at once, while a command still runs.
struct Typing {
  std::string text;
  bool atPrompt = true;
};

// The commands of a script, each typed at its prompt (comments and blank
// lines are left out).
std::vector<Typing> commandsAtPrompts(const std::string& script) {
  std::vector<Typing> typing;
  std::istringstream stream(script);
  for (std::string line; std::getline(stream, line);) {
    if (!line.empty() && !line.starts_with("#")) typing.push_back({line + "\n"});
  }
  return typing;
}

// Runs brannic-sim with `arguments`. With `typing`, its standard input and
// error are a pseudo-terminal on which the owner types; otherwise standard
// input is /dev/null. A run still going at the deadline is killed, and the
// test fails.
SimRun runSim(const std::vector<std::string>& arguments, const std::optional<std::vector<Typing>>& typing) {
  using Clock = std::chrono::steady_clock;
  SimRun run;
  OwnedFd terminal, terminalDevice;
  if (typing) {
    terminal.reset(::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC));
    char name[128];
    if (!terminal.valid() || ::grantpt(terminal.get()) != 0 || ::unlockpt(terminal.get()) != 0 ||
        ::ptsname_r(terminal.get(), name, sizeof name) != 0) {
      ADD_FAILURE() << "no pseudo-terminal";
      return run;
    }
    terminalDevice.reset(::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC));
  }
  int out[2];
  if (::pipe2(out, O_CLOEXEC) != 0) {
    ADD_FAILURE() << "no pipe";
    return run;
  }
  OwnedFd outRead(out[0]), outWrite(out[1]);

  ChildProcessSpec child;
  child.executable = BRANNIC_SIM_EXECUTABLE;
  child.arguments = arguments;
  for (char** entry = environ; *entry != nullptr; ++entry) child.environment.emplace_back(*entry);
  child.standardInput = typing ? terminalDevice.get() : ChildProcessSpec::kNullDevice;
  child.standardOutput = outWrite.get();
  child.standardError = typing ? terminalDevice.get() : ChildProcessSpec::kNullDevice;
  const std::optional<int> pid = startChildProcess(child);
  outWrite.reset();
  terminalDevice.reset();
  if (!pid) {
    ADD_FAILURE() << "cannot start " << child.executable;
    return run;
  }

  // Reads the transcript to its end. The terminal shows the prompts (and
  // the echo): each line is typed a moment after its prompt has shown, as
  // a person reads and types, so what a command leaves behind has had the
  // time to arrive in whatever order the session lets it.
  constexpr auto kReadingTime = std::chrono::milliseconds(100);
  const auto deadline = Clock::now() + kDeadline;
  std::string shown;  // on the terminal
  std::size_t answeredUpTo = 0;  // in `shown`: the prompts before it have had their line
  std::size_t typed = 0;
  std::optional<Clock::time_point> typeAt;
  char buffer[4096];
  while (outRead.valid()) {
    const auto now = Clock::now();
    if (now >= deadline) {
      ADD_FAILURE() << "brannic-sim still runs after " << kDeadline.count() << " s";
      ::kill(*pid, SIGKILL);
      break;
    }
    if (typing && typed < typing->size() && !typeAt) {
      const auto prompt = shown.find(kPrompt, answeredUpTo);
      if (!(*typing)[typed].atPrompt) {
        typeAt = now + kReadingTime;
      } else if (prompt != std::string::npos) {
        answeredUpTo = prompt + kPrompt.size();
        typeAt = now + kReadingTime;
      }
    }
    if (typeAt && now >= *typeAt) {
      const std::string& text = (*typing)[typed++].text;
      EXPECT_EQ(::write(terminal.get(), text.data(), text.size()), static_cast<ssize_t>(text.size()));
      typeAt.reset();
      continue;
    }
    const auto until = typeAt ? std::min(*typeAt, deadline) : deadline;
    const auto timeout = std::chrono::duration_cast<std::chrono::milliseconds>(until - now).count() + 1;
    pollfd polled[2] = {{outRead.get(), POLLIN, 0}, {terminal.get(), POLLIN, 0}};
    if (::poll(polled, terminal.valid() ? 2 : 1, static_cast<int>(timeout)) < 0) {
      if (errno == EINTR) continue;
      break;
    }
    if (polled[0].revents != 0) {
      const ssize_t count = ::read(outRead.get(), buffer, sizeof buffer);
      if (count > 0) {
        run.transcript.append(buffer, static_cast<std::size_t>(count));
      } else if (count == 0 || errno != EINTR) {
        outRead.reset();
      }
    }
    if (terminal.valid() && polled[1].revents != 0) {
      const ssize_t count = ::read(terminal.get(), buffer, sizeof buffer);
      if (count > 0) {
        shown.append(buffer, static_cast<std::size_t>(count));
      } else {
        terminal.reset();  // no one has the terminal open any more
      }
    }
  }
  run.exitStatus = waitForChildProcess(*pid);
  return run;
}

// What the watch's timer prints by itself: the lid probe, and the alarm
// with the volume it raises. A script prints these during its waits, a
// session whenever the timer fires.
bool isTimerLine(std::string_view line) {
  static constexpr std::string_view kPrefixes[] = {
      "stdout: lid is ",          "stdout: false",           "stdout: true", "stdout: Tentative volume ",
      "stdout: Sound was played", "audio: ",                 "sound: ",
  };
  for (const std::string_view prefix : kPrefixes) {
    if (line.starts_with(prefix)) return true;
  }
  return false;
}

// The transcript's lines, without the timer's and without the script's echo.
Lines withoutTimerAndEcho(const std::string& transcript) {
  Lines lines;
  std::istringstream stream(transcript);
  for (std::string line; std::getline(stream, line);) {
    if (!isTimerLine(line) && !line.starts_with("> ")) lines.push_back(line);
  }
  return lines;
}

TEST(InteractiveTerminalTest, TheDemoTypedAtATerminalPrintsTheScriptsTranscript) {
  const SimRun script = runSim({kDemoScript}, std::nullopt);
  const SimRun session = runSim({}, commandsAtPrompts(contentsOf(kDemoScript)));
  EXPECT_EQ(script.exitStatus, 0);
  EXPECT_EQ(session.exitStatus, 0);
  const Lines expected = withoutTimerAndEcho(script.transcript);
  ASSERT_GT(expected.size(), 20U) << script.transcript;
  EXPECT_EQ(("\n" + session.transcript).find("\n> "), std::string::npos) << "a session does not echo";
  EXPECT_EQ(withoutTimerAndEcho(session.transcript), expected) << session.transcript;
}

// Ctrl-D while a long wait runs ends the session at once, after the start-up
// has settled.
TEST(InteractiveTerminalTest, CtrlDEndsALongWait) {
  const SimRun session = runSim({}, std::vector<Typing>{{"launch\n"}, {"wait 3600\n"}, {"\x04", false}});
  EXPECT_EQ(session.exitStatus, 0);
  const Lines lines = withoutTimerAndEcho(session.transcript);
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines.back(), "log: Command exit code: 0") << session.transcript;
}

}  // namespace
}  // namespace brannic::sim
