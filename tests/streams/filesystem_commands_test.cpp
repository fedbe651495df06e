// Directory listings, the current directory and whole-file operations, with program
// paths that use backslashes and letter cases other than the disk's.
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <iterator>
#include <string>
#include <vector>

#include "basic/ks_str.h"
#include "host/sys_runtime.h"
#include "streams/filesystem_commands.h"
#include "streams/stream_commands.h"
#include "tests/streams/temp_dir.h"

using namespace filecmd;

namespace {

std::string take(ksStr* s) { return ksStrTake(s); }
ksStr* str(const std::string& text) { return ksStrNew(text); }

std::vector<std::string> listing(int32_t dir) {
  std::vector<std::string> names;
  for (std::string name; !(name = take(nextFile(dir))).empty();) {
    names.push_back(name);
  }
  std::sort(names.begin(), names.end());
  return names;
}

class FileSystemTest : public TempDirTest {
 protected:
  void SetUp() override {
    TempDirTest::SetUp();
    std::filesystem::create_directories("Sub/Inner");
    put("Sub/Notes.TXT", "twelve bytes");
    put("Sub/b.dat", "bb");
    put("Sub/a.dat", "aaaa");
  }
};

TEST_F(FileSystemTest, ListingsIncludeDotEntriesThenStayEmpty) {
  const int32_t dir = readDir(str("Sub"));
  ASSERT_NE(dir, 0);
  EXPECT_EQ(listing(dir), (std::vector<std::string>{".", "..", "Inner", "Notes.TXT", "a.dat",
                                                     "b.dat"}));
  EXPECT_EQ(take(nextFile(dir)), "");
  EXPECT_EQ(take(nextFile(dir)), "");
  closeDir(dir);
  EXPECT_EQ(readDir(str("Missing")), 0);
  EXPECT_EQ(readDir(str("Sub\\Notes.TXT")), 0);
}

TEST_F(FileSystemTest, BackslashesAndOtherCasesListTheSameDirectory) {
  const int32_t plain = readDir(str("Sub"));
  const int32_t slashed = readDir(str("sub\\"));
  const int32_t absolute = readDir(str(root + "\\SUB"));
  ASSERT_NE(slashed, 0);
  ASSERT_NE(absolute, 0);
  const std::vector<std::string> names = listing(plain);
  EXPECT_EQ(listing(slashed), names);
  EXPECT_EQ(listing(absolute), names);
  const int32_t inner = readDir(str("SUB\\inner\\"));
  EXPECT_EQ(listing(inner), (std::vector<std::string>{".", ".."}));
}

TEST_F(FileSystemTest, ClosedListingsAreCheckedInDebugModeOnly) {
  const int32_t dir = readDir(str("Sub"));
  closeDir(dir);
  closeDir(dir);
  closeDir(0);
  EXPECT_EQ(take(nextFile(dir)), "");
  debugMode = true;
  const int before = ksStrActiveCount();
  try {
    nextFile(dir);
    ADD_FAILURE() << "NextFile after CloseDir raised nothing";
  } catch (const ksEx& e) {
    EXPECT_STREQ(e.message, "Directory does not exist");
  }
  EXPECT_EQ(ksStrActiveCount(), before);
}

TEST_F(FileSystemTest, CurrentDirEndsInOneSlashAndFollowsChangeDir) {
  const std::string start = take(currentDir());
  EXPECT_EQ(start, std::filesystem::current_path().string() + "/");
  changeDir(str("sub\\INNER"));
  EXPECT_EQ(take(currentDir()), start + "Sub/Inner/");
  changeDir(str(".."));
  EXPECT_EQ(take(currentDir()), start + "Sub/");
  changeDir(str("Nowhere"));
  EXPECT_EQ(take(currentDir()), start + "Sub/");
  changeDir(str("/"));
  EXPECT_EQ(take(currentDir()), "/");
}

TEST_F(FileSystemTest, FileTypeTellsFilesFromDirectories) {
  EXPECT_EQ(fileType(str(".")), 2);
  EXPECT_EQ(fileType(str("sub\\inner")), 2);
  EXPECT_EQ(fileType(str("SUB\\notes.txt")), 1);
  EXPECT_EQ(fileType(str("Sub\\missing.txt")), 0);
  EXPECT_EQ(fileType(str("Sub\\*.dat")), 0);
  EXPECT_EQ(fileType(str("")), 0);
}

TEST_F(FileSystemTest, FileSizeOfTheFirstWildcardMatch) {
  EXPECT_EQ(fileSize(str("Sub\\NOTES.txt")), 12);
  EXPECT_EQ(fileSize(str("Sub")), 0);
  EXPECT_EQ(fileSize(str("Sub\\missing")), 0);
  EXPECT_EQ(fileSize(str("sub\\*.DAT")), 4);
  EXPECT_EQ(fileSize(str("Sub\\?.dat")), 4);
  EXPECT_EQ(fileSize(str("Sub\\*.none")), 0);
  EXPECT_EQ(fileSize(str("Sub\\Inn*")), 0);
}

TEST_F(FileSystemTest, CopyFileReplacesTheTargetButNeverItself) {
  copyFile(str("sub\\notes.txt"), str("copy.txt"));
  EXPECT_EQ(contents("copy.txt"), "twelve bytes");
  copyFile(str("Sub\\a.dat"), str("COPY.TXT"));
  EXPECT_EQ(contents("copy.txt"), "aaaa");
  EXPECT_FALSE(std::filesystem::exists("COPY.TXT"));
  copyFile(str("copy.txt"), str(".\\Copy.txt"));
  EXPECT_EQ(contents("copy.txt"), "aaaa");
  copyFile(str("missing"), str("copy.txt"));
  copyFile(str("Sub"), str("copy.txt"));
  EXPECT_EQ(contents("copy.txt"), "aaaa");
}

TEST_F(FileSystemTest, CopyFileTakesRegularFilesOnly) {
  ASSERT_EQ(::mkfifo("pipe", 0600), 0);
  copyFile(str("pipe"), str("copy.txt"));  // would wait for a writer for ever
  EXPECT_FALSE(std::filesystem::exists("copy.txt"));
  copyFile(str("sub\\notes.txt"), str("pipe"));  // would wait for a reader
  EXPECT_EQ(std::filesystem::status("pipe").type(), std::filesystem::file_type::fifo);
}

TEST_F(FileSystemTest, CreateDeleteAndRemove) {
  createDir(str("sub\\New"));
  EXPECT_EQ(fileType(str("Sub/New")), 2);
  createDir(str("a\\b\\c"));  // no intermediate directories
  EXPECT_EQ(fileType(str("a")), 0);
  deleteDir(str("SUB"));  // not empty
  EXPECT_EQ(fileType(str("Sub")), 2);
  deleteDir(str("sub\\new"));
  EXPECT_EQ(fileType(str("Sub/New")), 0);
  deleteFile(str("sub\\inner"));  // a directory is not a file
  EXPECT_EQ(fileType(str("Sub/Inner")), 2);
  deleteFile(str("SUB\\A.DAT"));
  EXPECT_EQ(fileType(str("Sub/a.dat")), 0);
}

TEST_F(FileSystemTest, FilesOpenThroughBackslashAndCaseInsensitivePaths) {
  const int32_t w = writeFile(str("sub\\INNER\\Made.txt"));
  ASSERT_NE(w, 0);
  streamcmd::writeLine(w, str("line"));
  closeFile(w);
  EXPECT_EQ(contents("Sub/Inner/Made.txt"), "line\r\n");
  const int32_t r = readFile(str("SUB\\inner\\made.TXT"));
  ASSERT_NE(r, 0);
  EXPECT_EQ(take(streamcmd::readLine(r)), "line");
  closeFile(r);
  const int32_t o = openFile(str("sub\\notes.txt"));
  ASSERT_NE(o, 0);
  EXPECT_EQ(streamcmd::readByte(o), 't');
  closeFile(o);
}

TEST_F(FileSystemTest, FreshWriteFileThenReadFileIsAtEnd) {
  EXPECT_EQ(openFile(str("fresh.bin")), 0);
  const int32_t w = writeFile(str("fresh.bin"));
  ASSERT_NE(w, 0);
  closeFile(w);
  EXPECT_EQ(fileSize(str("fresh.bin")), 0);
  const int32_t r = readFile(str("fresh.bin"));
  EXPECT_EQ(streamcmd::eof(r), 1);
  closeFile(r);
}

TEST_F(FileSystemTest, StringArgumentsAreReleased) {
  const int before = ksStrActiveCount();
  closeFile(openFile(str("Sub/a.dat")));
  createDir(str("x"));
  fileSize(str("x"));
  fileType(str("x"));
  copyFile(str("Sub/a.dat"), str("y"));
  deleteFile(str("y"));
  deleteDir(str("x"));
  changeDir(str("."));
  closeDir(readDir(str(".")));
  EXPECT_EQ(ksStrActiveCount(), before);
}

// A listing read no further than its first entry holds its directory open, so the
// process's open descriptors show whether the listing (and its manager) was freed.
int openDescriptors() {
  return int(std::distance(std::filesystem::directory_iterator("/proc/self/fd"), {}));
}

TEST_F(FileSystemTest, OneManagerAtATimeAndDestroyFreesListings) {
  EXPECT_FALSE(filesystem_create());
  const int before = openDescriptors();
  EXPECT_NE(readDir(str("Sub")), 0);  // left open: the destroy routine frees it
  EXPECT_EQ(openDescriptors(), before + 1);
  filesystem_destroy();
  EXPECT_EQ(openDescriptors(), before);
  EXPECT_TRUE(filesystem_create());
}

TEST(FileSystemManager, TakenFromAndHandedBackToTheRuntime) {
  sysRuntime* const runtime = sysRuntime::create(nullptr, "", nullptr, 0);
  ASSERT_NE(runtime, nullptr);
  currentRuntime = runtime;
  ASSERT_TRUE(filesystem_create());
  FileSystemHost* const manager = runtime->fileSystem;
  EXPECT_NE(manager, nullptr);
  EXPECT_FALSE(filesystem_create());
  const int before = openDescriptors();
  EXPECT_NE(readDir(str(".")), 0);
  EXPECT_EQ(openDescriptors(), before + 1);
  filesystem_destroy();
  EXPECT_EQ(runtime->fileSystem, nullptr);
  EXPECT_EQ(openDescriptors(), before) << "the handed-back manager kept its listing";

  // A manager the module never handed back is disposed of with the runtime.
  ASSERT_TRUE(filesystem_create());
  EXPECT_NE(readDir(str(".")), 0);
  currentRuntime = nullptr;
  sysRuntime::destroy(runtime);
  EXPECT_EQ(openDescriptors(), before) << "the runtime kept the manager's listing";
  ASSERT_TRUE(filesystem_create());  // tests go on without a runtime
  filesystem_destroy();
}

}  // namespace
