// The launchd stand-in: blessing, jobs kept in the machine folder, start on
// demand, and the helper's end.
#include "platform/sim/launchd/launchd.h"

#include <gtest/gtest.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>

#include "helper_client/helper_label.h"
#include "tests/sim/ipc_test_support.h"
#include "platform/sim/base/property_list.h"

namespace brannic::sim {
namespace {

namespace fs = std::filesystem;

const std::string kLabel(HelperLabel);

class LaunchdTest : public ::testing::Test {
 protected:
  std::unique_ptr<SimLaunchd> makeLaunchd() {
    return std::make_unique<SimLaunchd>(folder.path().string(), &recording.transcript(), nullptr);
  }
  std::string executable() const { return SimLaunchd::helperExecutablePath(folder.path().string(), kLabel); }
  std::string jobFile() const { return SimLaunchd::jobPlistPath(folder.path().string(), kLabel); }
  std::string socket() const { return SimLaunchd::serviceSocketPath(folder.path().string(), kLabel); }

  testing::TempDir folder;
  testing::RecordingTranscript recording;
};

TEST_F(LaunchdTest, BlessingCopiesTheHelperAndRegistersItsJob) {
  auto launchd = makeLaunchd();
  EXPECT_EQ(launchd->jobState(kLabel), HelperJobState::absent);
  EXPECT_FALSE(launchd->lookUpService(kLabel));

  std::string error;
  ASSERT_TRUE(launchd->bless(kLabel, BRANNIC_TEST_HELPER_EXECUTABLE, &error)) << error;
  EXPECT_EQ(recording.channel("launchd"), std::vector<std::string>{"blessed " + kLabel});
  EXPECT_EQ(launchd->jobState(kLabel), HelperJobState::stopped);
  EXPECT_EQ(fs::file_size(executable()), fs::file_size(BRANNIC_TEST_HELPER_EXECUTABLE));
  EXPECT_EQ(fs::status(executable()).permissions(), fs::perms(0755));

  std::ifstream file(jobFile());
  const std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  const auto job = parseXmlPropertyList(text);
  ASSERT_TRUE(job);
  const PropertyDictionary expected{{"Label", kLabel},
                                    {"ProgramArguments", PropertyArray{executable()}},
                                    {"MachServices", PropertyDictionary{{kLabel, true}}}};
  EXPECT_EQ(*job, PropertyValue(expected));

  struct stat socketStatus {};
  ASSERT_EQ(::stat(socket().c_str(), &socketStatus), 0);
  EXPECT_TRUE(S_ISSOCK(socketStatus.st_mode));
  EXPECT_EQ(socketStatus.st_mode & 07777, 0600u);
}

TEST_F(LaunchdTest, TheFirstLookupStartsTheHelperAndTheNextAfterItsEndStartsItAgain) {
  auto launchd = makeLaunchd();
  std::string error;
  ASSERT_TRUE(launchd->install(kLabel, BRANNIC_TEST_HELPER_EXECUTABLE, std::nullopt, &error)) << error;
  EXPECT_TRUE(recording.channel("launchd").empty());

  EXPECT_EQ(launchd->lookUpService(kLabel), socket());
  EXPECT_EQ(launchd->jobState(kLabel), HelperJobState::running);
  EXPECT_EQ(launchd->lookUpService(kLabel), socket());  // already running: no second start
  EXPECT_EQ(recording.channel("launchd"), std::vector<std::string>{"started " + kLabel});

  EXPECT_TRUE(launchd->kill(kLabel));
  EXPECT_EQ(launchd->jobState(kLabel), HelperJobState::stopped);
  EXPECT_FALSE(launchd->kill(kLabel));
  EXPECT_EQ(launchd->lookUpService(kLabel), socket());
  EXPECT_EQ(recording.channel("launchd"),
            (std::vector<std::string>{"started " + kLabel, "exited " + kLabel, "started " + kLabel}));
}

TEST_F(LaunchdTest, BlessingAgainReplacesARunningHelper) {
  auto launchd = makeLaunchd();
  std::string error;
  ASSERT_TRUE(launchd->bless(kLabel, BRANNIC_TEST_HELPER_EXECUTABLE, &error)) << error;
  ASSERT_TRUE(launchd->lookUpService(kLabel));
  ASSERT_TRUE(launchd->bless(kLabel, BRANNIC_TEST_HELPER_EXECUTABLE, &error)) << error;
  EXPECT_EQ(launchd->jobState(kLabel), HelperJobState::stopped);
  EXPECT_EQ(recording.channel("launchd"),
            (std::vector<std::string>{"blessed " + kLabel, "started " + kLabel, "exited " + kLabel,
                                      "blessed " + kLabel}));
}

TEST_F(LaunchdTest, ABlessingThatCannotWorkSaysWhyAndChangesNothing) {
  const struct {
    const char* name;
    std::string label;
    std::string executable;
    const char* why;
  } cases[] = {
      {"no helper in the bundle", kLabel, folder.path().string() + "/nothing", "no helper at"},
      {"a folder instead of the helper", kLabel, folder.path().string(), "no helper at"},
      {"empty label", "", BRANNIC_TEST_HELPER_EXECUTABLE, "cannot name a job"},
      {"label with a slash", "../evil", BRANNIC_TEST_HELPER_EXECUTABLE, "cannot name a job"},
      {"dot-dot label", "..", BRANNIC_TEST_HELPER_EXECUTABLE, "cannot name a job"},
  };
  auto launchd = makeLaunchd();
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::string error;
    EXPECT_FALSE(launchd->bless(c.label, c.executable, &error));
    EXPECT_NE(error.find(c.why), std::string::npos) << error;
  }
  EXPECT_TRUE(recording.channel("launchd").empty());
  EXPECT_FALSE(fs::exists(folder.path().string() + "/Library/evil.plist"));
  EXPECT_EQ(launchd->jobState(kLabel), HelperJobState::absent);
}

TEST_F(LaunchdTest, JobsStayInTheMachineFolderForTheNextRun) {
  std::string error;
  ASSERT_TRUE(makeLaunchd()->install(kLabel, BRANNIC_TEST_HELPER_EXECUTABLE, "0.9", &error)) << error;
  // Job files the stand-in cannot use are left alone.
  std::ofstream(SimLaunchd::jobPlistPath(folder.path().string(), "com.test.garbage")) << "not a property list";
  std::ofstream(SimLaunchd::jobPlistPath(folder.path().string(), "com.test.mislabelled")) << xmlPropertyListText(
      PropertyDictionary{{"Label", "com.test.other"}, {"ProgramArguments", PropertyArray{"/bin/true"}}});

  auto launchd = makeLaunchd();
  EXPECT_EQ(launchd->jobState(kLabel), HelperJobState::stopped);
  EXPECT_EQ(launchd->jobState("com.test.garbage"), HelperJobState::absent);
  EXPECT_EQ(launchd->jobState("com.test.mislabelled"), HelperJobState::absent);
  EXPECT_EQ(launchd->jobState("com.test.other"), HelperJobState::absent);
  EXPECT_EQ(launchd->lookUpService(kLabel), socket());

  launchd->remove(kLabel);
  EXPECT_EQ(launchd->jobState(kLabel), HelperJobState::absent);
  EXPECT_FALSE(fs::exists(jobFile()));
  EXPECT_FALSE(fs::exists(executable()));
  EXPECT_FALSE(fs::exists(socket()));
  EXPECT_EQ(recording.channel("launchd"),
            (std::vector<std::string>{"started " + kLabel, "exited " + kLabel}));
}

TEST_F(LaunchdTest, AHelperThatCannotRunTurnsItsClientsAway) {
  const std::string broken = folder.path().string() + "/broken";
  std::ofstream(broken) << "not an executable";
  auto launchd = makeLaunchd();
  std::string error;
  ASSERT_TRUE(launchd->install(kLabel, broken, std::nullopt, &error)) << error;
  ::chmod(executable().c_str(), 0644);

  EXPECT_FALSE(launchd->lookUpService(kLabel));
  // A client that connects without looking the service up is closed rather
  // than left waiting.
  OwnedFd client = connectToPath(socket(), &error);
  ASSERT_TRUE(client.valid()) << error;
  pollfd polled{client.get(), POLLIN, 0};
  ASSERT_EQ(::poll(&polled, 1, 5000), 1);
  char byte;
  EXPECT_LE(::recv(client.get(), &byte, 1, 0), 0);
  EXPECT_EQ(launchd->jobState(kLabel), HelperJobState::stopped);
  EXPECT_GE(recording.channel("launchd").size(), 2u);
  EXPECT_EQ(recording.channel("launchd")[0], "cannot start " + kLabel);
}

TEST_F(LaunchdTest, AnIdleHelperExitsAndStartsAgainOnDemand) {
  SimLaunchd::Options options;
  options.idleExit = std::chrono::milliseconds(200);
  SimLaunchd launchd(folder.path().string(), &recording.transcript(), nullptr, options);
  std::string error;
  ASSERT_TRUE(launchd.install(kLabel, BRANNIC_TEST_HELPER_EXECUTABLE, std::nullopt, &error)) << error;
  ASSERT_TRUE(launchd.lookUpService(kLabel));
  EXPECT_TRUE(testing::eventually([&] { return launchd.jobState(kLabel) == HelperJobState::stopped; }));
  EXPECT_EQ(recording.channel("launchd"),
            (std::vector<std::string>{"started " + kLabel, "exited " + kLabel}));
  ASSERT_TRUE(launchd.lookUpService(kLabel));
  EXPECT_EQ(launchd.jobState(kLabel), HelperJobState::running);
}

}  // namespace
}  // namespace brannic::sim
