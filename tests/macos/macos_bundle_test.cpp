// Checks of the Brannic.app that the macOS cross build made: what the system
// needs to find, load and start on every Mac from macOS 11 on, read out of
// the bundle and its Mach-O executables; and of the test executables it made
// for the Mac. Run only when a cross build is configured
// (tests/macos/CMakeLists.txt).
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "helper_client/helper_protocol.h"
#include "tests/macos/macos_build.h"
#include "tests/macos/mach_o_file.h"
#include "tests/macos/objc_image_protocols.h"
#include "tests/macos/xpc_interface_comparison.h"

namespace brannic {
namespace {

namespace fs = std::filesystem;

std::string fileBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot open " + path.string());
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

constexpr std::uint32_t kMacOS11 = 0x000b0000;

// The two executables, each with the libraries it must load: exactly these,
// none of them weakly (a weak load lets the process start without the
// library and fail later, where the cause is hard to see).
struct Executable {
  const char* name;
  fs::path (*path)(const test::MacosBuild&);
  std::set<std::string> libraries;
};

const std::set<std::string> kEveryExecutableLoads = {
    "/System/Library/Frameworks/Foundation.framework/Versions/C/Foundation",
    "/System/Library/Frameworks/CoreFoundation.framework/Versions/A/CoreFoundation",
    "/System/Library/Frameworks/Security.framework/Versions/A/Security",
    "/usr/lib/libobjc.A.dylib",
    "/usr/lib/libc++.1.dylib",
    "/usr/lib/libSystem.B.dylib",
};

std::set<std::string> with(std::set<std::string> libraries, std::initializer_list<const char*> more) {
  libraries.insert(more.begin(), more.end());
  return libraries;
}

const Executable kExecutables[] = {
    {"application", [](const test::MacosBuild& b) { return b.contents() / "MacOS" / "Brannic"; },
     with(kEveryExecutableLoads,
          {"/System/Library/Frameworks/AppKit.framework/Versions/C/AppKit",
           "/System/Library/Frameworks/ServiceManagement.framework/Versions/A/ServiceManagement",
           "/System/Library/Frameworks/CoreAudio.framework/Versions/A/CoreAudio",
           // AVAudioPlayer's home on macOS 11.0 to 11.2; AVFAudio is found through it.
           "/System/Library/Frameworks/AVFoundation.framework/Versions/A/AVFoundation"})},
    {"helper", [](const test::MacosBuild& b) { return b.helper(); }, kEveryExecutableLoads},
};

void expectUniversalForMacOS11(const fs::path& path) {
  const test::MachOFile file = test::readMachOFile(path);
  EXPECT_TRUE(file.universal);
  std::vector<std::string> architectures;
  for (const test::MachOSlice& slice : file.slices) {
    SCOPED_TRACE(slice.architecture());
    architectures.push_back(slice.architecture());
    ASSERT_EQ(slice.buildVersions().size(), 1u);
    EXPECT_EQ(slice.buildVersions()[0].platform, test::kMachOPlatformMacOS);
    EXPECT_EQ(slice.buildVersions()[0].minos, kMacOS11);
  }
  std::sort(architectures.begin(), architectures.end());
  EXPECT_EQ(architectures, (std::vector<std::string>{"arm64", "x86_64"}));
}

class BuiltBundle : public ::testing::Test {
 protected:
  const test::MacosBuild build = test::MacosBuild::fromEnvironment();
};

TEST_F(BuiltBundle, ExecutablesAreUniversalForMacOS11) {
  for (const Executable& executable : kExecutables) {
    SCOPED_TRACE(executable.name);
    expectUniversalForMacOS11(executable.path(build));
  }
}

// The tests that a Mac runs: the core's, against their fakes, and the
// bindings' against the real frameworks. Linked here, they are known to link
// before anyone runs them there; they load nothing but the system's
// libraries (GoogleTest is linked in), and Apple silicon runs their arm64
// code only with a signature.
TEST_F(BuiltBundle, TestsForTheMacAreBuiltToRunThere) {
  const char* tests[] = {
      "tests/app/app_tests",
      "tests/lid_alarm/lid_alarm_tests",
      "tests/helper_client/helper_client_tests",
      "tests/helper_client/helper_client_threaded_tests",
      "tests/helper_tool/helper_tool_tests",
      "tests/macos_bindings/macos_binding_tests",
  };
  for (const char* test : tests) {
    SCOPED_TRACE(test);
    ASSERT_TRUE(fs::is_regular_file(build.buildDir / test));
    expectUniversalForMacOS11(build.buildDir / test);
    for (const test::MachOSlice& slice : test::readMachOFile(build.buildDir / test).slices) {
      SCOPED_TRACE(slice.architecture());
      for (const test::MachOLibrary& library : slice.libraries()) {
        const std::string& name = library.installName;
        EXPECT_TRUE(name.starts_with("/usr/lib/") || name.starts_with("/System/Library/Frameworks/")) << name;
        EXPECT_FALSE(library.weak) << name << " is loaded weakly";
      }
      if (slice.architecture() == "arm64") {
        EXPECT_TRUE(slice.signedAdHoc());
      }
    }
  }
}

// An Apple silicon Mac kills an arm64 process whose code carries no
// signature; the linker signs ad hoc, a Developer ID signature replaces it.
TEST_F(BuiltBundle, Arm64SlicesAreSigned) {
  for (const Executable& executable : kExecutables) {
    SCOPED_TRACE(executable.name);
    for (const test::MachOSlice& slice : test::readMachOFile(executable.path(build)).slices) {
      if (slice.architecture() == "arm64") {
        EXPECT_TRUE(slice.signedAdHoc());
      }
    }
  }
}

TEST_F(BuiltBundle, ExecutablesLoadExactlyTheLibrariesTheyNeed) {
  for (const Executable& executable : kExecutables) {
    SCOPED_TRACE(executable.name);
    for (const test::MachOSlice& slice : test::readMachOFile(executable.path(build)).slices) {
      SCOPED_TRACE(slice.architecture());
      std::set<std::string> loaded;
      for (const test::MachOLibrary& library : slice.libraries()) {
        EXPECT_FALSE(library.weak) << library.installName << " is loaded weakly";
        EXPECT_TRUE(loaded.insert(library.installName).second) << library.installName << " is loaded twice";
      }
      EXPECT_EQ(loaded, executable.libraries);
    }
  }
}

// SMJobBless reads the helper's two property lists out of its executable;
// both slices must carry them exactly as the build generated them.
TEST_F(BuiltBundle, HelperCarriesItsPropertyListsWhereTheSystemLooks) {
  ASSERT_TRUE(fs::is_regular_file(build.helper())) << build.helper();
  const struct {
    const char* section;
    const char* generated;
  } kEmbedded[] = {{"__info_plist", "helper-Info.plist"}, {"__launchd_plist", "helper-launchd.plist"}};
  for (const test::MachOSlice& slice : test::readMachOFile(build.helper()).slices) {
    SCOPED_TRACE(slice.architecture());
    for (const auto& embedded : kEmbedded) {
      SCOPED_TRACE(embedded.section);
      const test::MachOSection* section = slice.section(embedded.section);
      ASSERT_NE(section, nullptr);
      EXPECT_EQ(section->segment, "__TEXT");
      EXPECT_EQ(slice.contents(*section), fileBytes(build.generatedPlist(embedded.generated)));
    }
  }
}

TEST_F(BuiltBundle, ApplicationCarriesItsInfoPlistExecutableAndResources) {
  EXPECT_EQ(fileBytes(build.contents() / "Info.plist"), fileBytes(build.generatedPlist("Info.plist")));
  EXPECT_TRUE(fs::is_regular_file(build.contents() / "MacOS" / "Brannic"));
  for (const char* resource : {"Icon.png", "Icon@2x.png", "Final.mp3"}) {
    SCOPED_TRACE(resource);
    const fs::path built = build.contents() / "Resources" / resource;
    ASSERT_TRUE(fs::is_regular_file(built));
    EXPECT_EQ(fileBytes(built), fileBytes(fs::path(BRANNIC_SOURCE_DIR) / "resources" / resource));
  }
}

// What NSXPCInterface is made from at run time: the protocols as compiled into
// each executable, in both slices, against the shared C++ declaration.
TEST_F(BuiltBundle, ExecutablesCarryTheSharedInterfacesProtocols) {
  for (const Executable& executable : kExecutables) {
    SCOPED_TRACE(executable.name);
    for (const test::MachOSlice& slice : test::readMachOFile(executable.path(build)).slices) {
      SCOPED_TRACE(slice.architecture());
      for (const XpcInterface* shared : {&helperProtocolInterface(), &appProtocolInterface()}) {
        const auto compiled = test::readObjcProtocol(slice, shared->protocolName);
        ASSERT_TRUE(compiled) << "no protocol " << shared->protocolName;
        test::expectSameInterface(*compiled, *shared);
      }
    }
  }
}

}  // namespace
}  // namespace brannic
