// The helper's process runner: real tools inside the machine folder, no
// shell between the caller and the tool.
#include "platform/sim/processes/process_runner.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "platform/sim/base/unix_socket.h"
#include "tests/sim/ipc_test_support.h"

namespace brannic::sim {
namespace {

class ProcessRunnerTest : public ::testing::Test {
 protected:
  // Installs a /bin/sh script at <machine>/usr/bin/<name>.
  void installTool(const std::string& name, const std::string& body, unsigned mode = 0755) {
    std::filesystem::create_directories(folder.path().string() + "/usr/bin");
    const std::string path = folder.path().string() + "/usr/bin/" + name;
    std::ofstream(path) << "#!/bin/sh\n" << body;
    ::chmod(path.c_str(), mode);
  }

  testing::TempDir folder;
  SimProcessRunner runner{folder.path().string()};
};

TEST_F(ProcessRunnerTest, ArgumentsReachTheToolExactlyAsGiven) {
  installTool("args", "for a in \"$@\"; do printf '[%s]\\n' \"$a\"; done\n");
  const auto result = runner.run("/usr/bin/args", {"a b", "$(touch x)", ";", "", "*"});
  ASSERT_TRUE(result);
  EXPECT_EQ(result->standardOutput, "[a b]\n[$(touch x)]\n[;]\n[]\n[*]\n");
  EXPECT_FALSE(std::filesystem::exists(folder.path().string() + "/x"));
}

TEST_F(ProcessRunnerTest, ExitStatusAndBothStreamsComeBack) {
  const std::string root = std::filesystem::canonical(folder.path().string()).string();
  const struct {
    const char* body;
    int exitCode;
    std::string out;
    std::string err;
  } cases[] = {
      {"exit 0\n", 0, "", ""},
      {"echo out; echo err >&2; exit 3\n", 3, "out\n", "err\n"},
      {"kill -9 $$\n", 128 + 9, "", ""},
      {"echo \"$PATH|$HOME|$(pwd)\"\n", 0, "/usr/bin:/bin||" + root + "\n", ""},
      {"read line; echo \"[$line]\"\n", 0, "[]\n", ""},  // standard input is empty
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.body);
    installTool("tool", c.body);
    const auto result = runner.run("/usr/bin/tool", {});
    ASSERT_TRUE(result);
    EXPECT_EQ(result->exitCode, c.exitCode);
    EXPECT_EQ(result->standardOutput, c.out);
    EXPECT_EQ(result->standardError, c.err);
  }
}

TEST_F(ProcessRunnerTest, ALotOfOutputOnBothStreamsDoesNotStallTheTool) {
  installTool("chatty",
              "i=0; while [ $i -lt 4000 ]; do echo 'line on standard error' >&2; "
              "echo 'line on standard output'; i=$((i+1)); done\n");
  const auto result = runner.run("/usr/bin/chatty", {});
  ASSERT_TRUE(result);
  EXPECT_EQ(result->standardOutput.size(), 4000u * 24);
  EXPECT_EQ(result->standardError.size(), 4000u * 23);
}

TEST_F(ProcessRunnerTest, AToolThatCannotStartIsReportedAsSuch) {
  installTool("notexecutable", "exit 0\n", 0644);
  for (const std::string path : {"/usr/bin/missing", "usr/bin/notexecutable", "/usr/bin/notexecutable", ""}) {
    EXPECT_FALSE(runner.run(path, {})) << path;
  }
}

TEST_F(ProcessRunnerTest, ChildrenStartUnderASmallDescriptorLimit) {
  installTool("tool", "echo out; echo passed >&3\n");
  int fds[2];
  ASSERT_EQ(::pipe2(fds, O_CLOEXEC), 0);
  OwnedFd readEnd(fds[0]), writeEnd(fds[1]);
  testing::DescriptorLimit limit(64);
  ASSERT_TRUE(limit.lowered());

  const auto result = runner.run("/usr/bin/tool", {});
  ASSERT_TRUE(result);
  EXPECT_EQ(result->standardOutput, "out\n");

  ChildProcessSpec child;
  child.executable = folder.path().string() + "/usr/bin/tool";
  child.passedFds = {writeEnd.get()};
  const std::optional<int> pid = startChildProcess(child);
  ASSERT_TRUE(pid);
  writeEnd.reset();
  EXPECT_EQ(waitForChildProcess(*pid), 0);
  char text[16] = {};
  EXPECT_EQ(::read(readEnd.get(), text, sizeof text), 7);
  EXPECT_STREQ(text, "passed\n");
}

}  // namespace
}  // namespace brannic::sim
