// The simulated machine: its folder, where the bundle template is found, and
// launching the application on it.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "platform/sim/machine/machine.h"
#include "tests/sim/recording_transcript.h"

namespace brannic::sim {
namespace {

namespace fs = std::filesystem;

void writeFile(const fs::path& path, const std::string& bytes) {
  fs::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary) << bytes;
}

TEST(MachineFolderTest, ATemporaryFolderGoesWithItsContents) {
  std::string path;
  {
    MachineFolder folder(std::nullopt);
    path = folder.path();
    EXPECT_TRUE(fs::is_directory(path));
    EXPECT_FALSE(folder.isKept());
    writeFile(fs::path(path) / "var/db/file", "x");
  }
  EXPECT_FALSE(fs::exists(path));
}

TEST(MachineFolderTest, AKeptFolderIsMadeReusedAndLeft) {
  MachineFolder scratch(std::nullopt);
  const fs::path kept = fs::path(scratch.path()) / "kept" / "machine";
  {
    MachineFolder folder(kept.string() + "/");
    EXPECT_TRUE(folder.isKept());
    EXPECT_EQ(folder.path(), kept.string());
    writeFile(kept / "state", "from the first run");
  }
  {
    MachineFolder again(kept.string());
    EXPECT_TRUE(fs::exists(kept / "state"));
  }
  EXPECT_TRUE(fs::exists(kept / "state"));
}

TEST(MachineFolderTest, AFileInTheWayIsAClearError) {
  MachineFolder scratch(std::nullopt);
  writeFile(fs::path(scratch.path()) / "file", "x");
  EXPECT_THROW(MachineFolder(scratch.path() + "/file"), std::runtime_error);
  EXPECT_THROW(MachineFolder{std::string()}, std::runtime_error);
}

TEST(BundleTemplateTest, IsFoundBesideOrAboveTheExecutable) {
  MachineFolder build(std::nullopt);
  const fs::path root(build.path());
  fs::create_directories(root / "Brannic.app/Contents");
  fs::create_directories(root / "platform/sim");
  fs::create_directories(root / "elsewhere/deeper/still/further");
  EXPECT_EQ(findBundleTemplate((root / "platform/sim/brannic-sim").string()),
            (root / "Brannic.app").string());
  EXPECT_EQ(findBundleTemplate((root / "brannic-sim").string()), (root / "Brannic.app").string());
  // Too deep to find this one: the build tree's own template, if it has one.
  const std::string fallback =
      findBundleTemplate((root / "elsewhere/deeper/still/further/brannic-sim").string());
  EXPECT_NE(fallback, (root / "Brannic.app").string());
}

class SimMacTest : public ::testing::Test {
 protected:
  SimMacTest() {
    writeFile(fs::path(templateFolder.path()) / "Brannic.app/Contents/Resources/Icon.png", "png");
    writeFile(fs::path(templateFolder.path()) / "Brannic.app/Contents/Resources/Final.mp3", "mp3 bytes");
  }
  MachineFolder templateFolder{std::nullopt};
  testing::RecordingTranscript recording;
};

TEST_F(SimMacTest, InstallsACopyOfTheTemplateAndRemovesTheMachineAtTheEnd) {
  std::string machine;
  {
    SimMacOptions options;
    options.bundleTemplate = templateFolder.path() + "/Brannic.app";
    SimMac mac(recording.transcript(), options);
    machine = mac.machinePath();
    EXPECT_EQ(mac.bundlePath(), machine + "/Applications/Brannic.app");
    EXPECT_TRUE(mac.bundle().urlForResource("Icon", "png"));
    EXPECT_EQ(mac.templateResource("Final.mp3"), "mp3 bytes");
    EXPECT_TRUE(fs::exists(machine + "/usr/sbin/ioreg"));
    fs::remove(machine + "/Applications/Brannic.app/Contents/Resources/Icon.png");
    EXPECT_TRUE(fs::exists(templateFolder.path() + "/Brannic.app/Contents/Resources/Icon.png"))
        << "the template itself is left alone";
  }
  EXPECT_FALSE(fs::exists(machine));
}

TEST_F(SimMacTest, AKeptMachineGetsAFreshBundleEachRun) {
  MachineFolder scratch(std::nullopt);
  SimMacOptions options;
  options.keepMachineAt = scratch.path() + "/machine";
  options.bundleTemplate = templateFolder.path() + "/Brannic.app";
  {
    SimMac mac(recording.transcript(), options);
    fs::remove(mac.bundlePath() + "/Contents/Resources/Icon.png");
    writeFile(mac.bundlePath() + "/Contents/Resources/Stray.txt", "left from an earlier run");
  }
  SimMac again(recording.transcript(), options);
  EXPECT_TRUE(again.bundle().urlForResource("Icon", "png"));
  EXPECT_FALSE(again.bundle().urlForResource("Stray", "txt"));
}

TEST_F(SimMacTest, LaunchLoadsTheInterfaceConnectsEveryOutletAndFinishesLaunching) {
  SimMacOptions options;
  options.bundleTemplate = templateFolder.path() + "/Brannic.app";
  SimMac mac(recording.transcript(), options);
  EXPECT_EQ(mac.application(), nullptr);
  ASSERT_TRUE(mac.launch());
  ASSERT_NE(mac.application(), nullptr);
  AppDelegate& delegate = mac.application()->delegate();
  SimWindow& window = mac.application()->window();
  EXPECT_EQ(delegate.buttonInstallHelper, &window.buttonInstallHelper);
  EXPECT_EQ(delegate.buttonDestroyCachedAuthorization, &window.buttonDestroyCachedAuthorization);
  EXPECT_EQ(delegate.buttonRunCommand, &window.buttonRunCommand);
  EXPECT_EQ(delegate.textFieldHelperInstalled, &window.textFieldHelperInstalled);
  EXPECT_EQ(delegate.textFieldAuthorizationCached, &window.textFieldAuthorizationCached);
  EXPECT_EQ(delegate.textFieldInput, &window.textFieldInput);
  EXPECT_EQ(delegate.textViewOutput, &window.textViewOutput);
  EXPECT_EQ(delegate.checkboxRequireAuthentication, &window.checkboxRequireAuthentication);
  EXPECT_EQ(delegate.checkboxCacheAuthentication, &window.checkboxCacheAuthentication);
  EXPECT_EQ(window.checkboxRequireAuthentication.state(), NSControlStateValueOff);
  EXPECT_EQ(window.checkboxCacheAuthentication.state(), NSControlStateValueOff);
  EXPECT_EQ(window.buttonRunCommand.action(), "buttonRunCommand:");

  // awakeFromNib bound the run-command button; finishing launching set up
  // the status item.
  const auto lines = recording.take();
  ASSERT_GE(lines.size(), 2u);
  EXPECT_EQ(lines[0], "ui: buttonRunCommand disabled");
  EXPECT_NE(std::find(lines.begin(), lines.end(), "ui: status image Icon"), lines.end());
  ASSERT_NE(mac.appKit().statusItem(), nullptr);

  EXPECT_FALSE(mac.launch()) << "one application per run";
}

}  // namespace
}  // namespace brannic::sim
