// Path resolution: separators, case-insensitive components, wildcard names.
#include "platform/paths.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace {

class PathsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/ks_paths_XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    root = pattern;
    fs::create_directories(root + "/Data/Sub");
    touch("/Data/Sub/File.TXT", 3);
    touch("/Data/b.dat", 5);
    touch("/Data/a.dat", 7);
    touch("/Data/.hidden.dat", 1);
    saved = fs::current_path();
  }
  void TearDown() override {
    fs::current_path(saved);
    fs::remove_all(root);
  }
  void touch(const std::string& name, int size) {
    std::ofstream(root + name) << std::string(size, 'x');
  }
  std::string root;
  fs::path saved;
};

TEST_F(PathsTest, BackslashesBecomeSeparators) {
  EXPECT_EQ(resolvePath(root + "\\Data\\Sub\\File.TXT"), root + "/Data/Sub/File.TXT");
  EXPECT_EQ(resolvePath("no\\such\\thing"), "no/such/thing");
  EXPECT_EQ(resolvePath(""), "");
}

TEST_F(PathsTest, ComponentsResolveWithoutRegardToCase) {
  EXPECT_EQ(resolvePath(root + "/DATA/sub/file.txt"), root + "/Data/Sub/File.TXT");
  EXPECT_EQ(resolvePath(root + "\\data\\SUB\\"), root + "/Data/Sub/");
}

TEST_F(PathsTest, MissingNameKeepsItsSpellingBelowResolvedDirectories) {
  EXPECT_EQ(resolvePath(root + "\\data\\sub\\New.Txt"), root + "/Data/Sub/New.Txt");
  EXPECT_EQ(resolvePath(root + "/data/Nope/FILE.txt"), root + "/Data/Nope/FILE.txt");
}

TEST_F(PathsTest, RelativePathsResolveAgainstTheCurrentDirectory) {
  fs::current_path(root);
  EXPECT_EQ(resolvePath("data\\sub\\file.txt"), "Data/Sub/File.TXT");
  EXPECT_EQ(resolvePath("./DATA/../data/A.DAT"), "./Data/../Data/a.dat");
}

TEST_F(PathsTest, ExactSpellingWinsOverOtherCases) {
  touch("/Data/A.dat", 2);
  EXPECT_EQ(resolvePath(root + "/Data/A.dat"), root + "/Data/A.dat");
  EXPECT_EQ(resolvePath(root + "/Data/a.dat"), root + "/Data/a.dat");
  // Neither spelling given: the smallest in byte order, whatever the listing order.
  EXPECT_EQ(resolvePath(root + "/Data/A.DAT"), root + "/Data/A.dat");
}

TEST(PathText, DirectoriesEndInOneSlash) {
  EXPECT_EQ(directoryText("/home/user"), "/home/user/");
  EXPECT_EQ(directoryText("/"), "/");
  EXPECT_EQ(directoryText("/tmp/"), "/tmp/");
}

TEST(WildcardMatch, StarAndQuestionMarkOnly) {
  EXPECT_TRUE(wildcardMatch("*.TXT", "notes.txt"));
  EXPECT_TRUE(wildcardMatch("*", ""));
  EXPECT_TRUE(wildcardMatch("a?c", "abc"));
  EXPECT_FALSE(wildcardMatch("a?c", "ac"));
  EXPECT_TRUE(wildcardMatch("a*b*c", "aXXbYbc"));
  EXPECT_FALSE(wildcardMatch("a*b*c", "aXXbYbd"));
  EXPECT_TRUE(wildcardMatch("[a].txt", "[A].TXT"));
  EXPECT_FALSE(wildcardMatch("[a].txt", "a.txt"));
  EXPECT_TRUE(hasWildcards("x?"));
  EXPECT_FALSE(hasWildcards("x[1]"));
}

TEST_F(PathsTest, FirstWildcardMatchIsTheSmallestVisibleName) {
  EXPECT_EQ(firstWildcardMatch(root + "\\data\\*.DAT"), root + "/Data/a.dat");
  EXPECT_EQ(firstWildcardMatch(root + "/Data/.*"), root + "/Data/.hidden.dat");
  EXPECT_EQ(firstWildcardMatch(root + "/Data/*.none"), "");
  fs::current_path(root + "/Data");
  EXPECT_EQ(firstWildcardMatch("?.dat"), "a.dat");
}

}  // namespace
