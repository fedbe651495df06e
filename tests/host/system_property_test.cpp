// SystemProperty answers.
#include "tests/host/recording_debugger.h"

#include <cstdlib>
#include <filesystem>

namespace {

using SystemProperties = HostTest;

TEST_F(SystemProperties, NamesAreCaseInsensitive) {
  EXPECT_EQ(runtime->systemProperty("cpu"), "Intel");
  EXPECT_EQ(runtime->systemProperty("CPU"), "Intel");
  const std::string os = runtime->systemProperty("os");
  EXPECT_EQ(os.rfind("Linux ", 0), 0u) << os;
  EXPECT_EQ(runtime->systemProperty("OS"), os);
}

TEST_F(SystemProperties, AppDirIsTheExecutablesFolderWithASlash) {
  // The build put this test program in KS_HOST_TEST_DIR; the kernel names it without links.
  const std::string folder = std::filesystem::canonical(KS_HOST_TEST_DIR).string();
  EXPECT_EQ(runtime->systemProperty("AppDir"), folder + "/");
}

TEST_F(SystemProperties, TempDirFollowsTmpdirAndEndsInASlash) {
  setenv("TMPDIR", "/var/tmp/games", 1);
  EXPECT_EQ(runtime->systemProperty("tempdir"), "/var/tmp/games/");
  setenv("TMPDIR", "/var/tmp/", 1);
  EXPECT_EQ(runtime->systemProperty("tempdir"), "/var/tmp/");
  unsetenv("TMPDIR");
  EXPECT_EQ(runtime->systemProperty("tempdir"), "/tmp/");
}

TEST_F(SystemProperties, WindowsFoldersEmptyAndUnknownNamesAnswerEmpty) {
  for (const char* name : {"windowsdir", "systemdir", "", "nonsense", "cpu "}) {
    EXPECT_EQ(runtime->systemProperty(name), "") << name;
  }
}

}  // namespace
