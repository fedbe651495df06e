// Windows game executables through ksrun and ksbind: executables linked here by the
// MinGW binutils (windres, as, ld) with our test programs' modules as resources, and
// damaged ones written by the test's own PE writer. The module inside must behave
// exactly as the module file run directly.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <fstream>
#include <iterator>

#include "platform/process.h"
#include "tests/programs/process_runner.h"
#include "tests/runtime/pe_builder.h"

namespace {

const std::string kBin = KS_BIN_DIR;
const std::string kPrograms = KS_PROGRAM_DIR;

bool has(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

std::string program(const std::string& name) {
  return kPrograms + "/" + name + ".ksm";
}

std::vector<uint8_t> readBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

std::string writeBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                              std::streamsize(bytes.size()));
  return path;
}

std::string writeText(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
  return path;
}

void expectTool(const std::string& path) {
  struct stat info {};
  ASSERT_EQ(stat(path.c_str(), &info), 0)
      << path << " is missing: tools/install-deps.sh installs the MinGW binutils (binutils-mingw-w64-i686)";
}

// Links DIR/NAME, a Windows executable whose entry just returns, with the resources of
// the resource script (none when it is empty).
std::string linkWindowsExecutable(const std::string& dir, const std::string& name, const std::string& script) {
  expectTool(MINGW_AS);
  expectTool(MINGW_LD);
  expectTool(MINGW_WINDRES);
  const std::string start = writeText(dir + "/start.s", ".globl _start\n_start:\n  xorl %eax, %eax\n  ret\n");
  std::vector<std::string> objects = {dir + "/start.o"};
  ProcessResult step = runProcess({MINGW_AS, start, "-o", objects[0]});
  EXPECT_EQ(step.exitCode, 0) << step.err;
  if (!script.empty()) {
    const std::string rc = writeText(dir + "/" + name + ".rc", script);
    objects.push_back(dir + "/" + name + ".res.o");
    // The script needs no C preprocessor (MinGW's gcc is not installed).
    step = runProcess({MINGW_WINDRES, "--preprocessor=cat", "-i", rc, "-o", objects.back()});
    EXPECT_EQ(step.exitCode, 0) << step.err;
  }
  const std::string exe = dir + "/" + name;
  std::vector<std::string> link = {MINGW_LD, "-e", "_start", "-o", exe};
  link.insert(link.end(), objects.begin(), objects.end());
  step = runProcess(link);
  EXPECT_EQ(step.exitCode, 0) << step.err;
  return exe;
}

std::string gameWithModule(const std::string& dir, const std::string& module) {
  return linkWindowsExecutable(dir, "game.exe", "1111 RCDATA \"" + module + "\"\n");
}

// Runs the command in FOLDER, as a game started from its own folder.
ProcessResult runIn(const std::string& folder, std::vector<std::string> argv) {
  argv.insert(argv.begin(), {"/bin/sh", "-c", "cd \"$0\" && exec \"$@\"", folder});
  return runProcess(argv);
}

// A game folder as a Windows game ships it: its level files in data/.
std::string gameFolder() {
  const std::string dir = makeTempDir();
  mkdir((dir + "/data").c_str(), 0755);
  writeText(dir + "/data/level1.txt", "the first level\nthe second line\n");
  return dir;
}

TEST(WindowsGame, KsrunRunsTheModuleInsideLikeTheModuleFile) {
  const std::string dir = gameFolder();
  const std::string exe = gameWithModule(dir, program("windows_paths"));
  const ProcessResult direct = runIn(dir, {kBin + "/ksrun", program("windows_paths"), "-w", "a b"});
  const ProcessResult fromExe = runIn(dir, {kBin + "/ksrun", exe, "-w", "a b"});
  // The program opened "Data\Level1.TXT" as data/level1.txt.
  EXPECT_EQ(direct.err, "[runtime error] Data\\Level1.TXT: the first level args=[-w a b]\n");
  EXPECT_EQ(direct.exitCode, 1);
  EXPECT_EQ(fromExe.err, direct.err);
  EXPECT_EQ(fromExe.out, direct.out);
  EXPECT_EQ(fromExe.exitCode, direct.exitCode);
}

TEST(WindowsGame, KsrunTakesTheSameOptionsForAnExecutable) {
  const std::string dir = makeTempDir();
  const std::string hello = gameWithModule(dir, program("hello"));
  const ProcessResult run = runProcess({kBin + "/ksrun", "--debug", "--blank-title", hello, "x"});
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_TRUE(has(run.err, "[log] Hello from a Kestrel program\n")) << run.err;
  EXPECT_TRUE(has(run.err, "[log] Command line: x\n")) << run.err;
  EXPECT_TRUE(has(run.err, "[end] Program has ended\n")) << run.err;

  const std::string forever = gameWithModule(makeTempDir(), program("delay_forever"));
  const ProcessResult ended = runProcess({kBin + "/ksrun", "--end-after", "200", forever});
  EXPECT_EQ(ended.exitCode, 0) << ended.err;
}

TEST(WindowsGame, ExtractWritesTheModuleByteForByte) {
  const std::string dir = makeTempDir();
  const std::string exe = gameWithModule(dir, program("windows_paths"));
  const ProcessResult run = runProcess({kBin + "/ksrun", "--extract", exe, dir + "/out.ksm"});
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_TRUE(has(run.err, "written to " + dir + "/out.ksm")) << run.err;
  EXPECT_EQ(readBytes(dir + "/out.ksm"), readBytes(program("windows_paths")));

  const ProcessResult unwritable = runProcess({kBin + "/ksrun", "--extract", exe, dir + "/no/such/folder.ksm"});
  EXPECT_EQ(unwritable.exitCode, 1);
  EXPECT_TRUE(has(unwritable.err, "ksrun: cannot write " + dir + "/no/such/folder.ksm")) << unwritable.err;
  for (const std::vector<std::string>& wrong :
       {std::vector<std::string>{"--extract", exe}, {"--extract", exe, "a", "b"}, {"--debug", "--extract", exe, "o"},
        {"--extract", exe, ""}}) {
    std::vector<std::string> argv = {kBin + "/ksrun"};
    argv.insert(argv.end(), wrong.begin(), wrong.end());
    const ProcessResult refused = runProcess(argv);
    EXPECT_EQ(refused.exitCode, 2) << refused.err;
    EXPECT_TRUE(has(refused.err, "--extract takes exactly a game executable")) << refused.err;
  }
}

TEST(WindowsGame, KsbindMakesAStandaloneGameThatRunsAsTheModuleDoes) {
  const std::string dir = gameFolder();
  const std::string exe = gameWithModule(dir, program("windows_paths"));
  ProcessResult bound = runProcess({kBin + "/ksbind", exe, dir + "/dist/game"});
  ASSERT_EQ(bound.exitCode, 0) << bound.err;
  bound = runProcess({kBin + "/ksbind", program("windows_paths"), dir + "/direct/game"});
  ASSERT_EQ(bound.exitCode, 0) << bound.err;
  const ProcessResult fromExe = runIn(dir, {dir + "/dist/game", "level", "2"});
  const ProcessResult direct = runIn(dir, {dir + "/direct/game", "level", "2"});
  EXPECT_EQ(fromExe.err, "Error!: Data\\Level1.TXT: the first level args=[level 2]\n");
  EXPECT_EQ(fromExe.err, direct.err);
  EXPECT_EQ(fromExe.exitCode, direct.exitCode);
}

TEST(WindowsGame, FirstLanguageOfRcData1111AmongSeveralResources) {
  const std::string dir = makeTempDir();
  const std::string notes = writeText(dir + "/notes.txt", "not a module\n");
  const std::string script = "5 RCDATA \"" + notes + "\"\n" +
                             "LEVELS RCDATA \"" + notes + "\"\n" +
                             "1111 TEXTFILE \"" + notes + "\"\n" +
                             "LANGUAGE 9, 1\n1111 RCDATA \"" + program("hello") + "\"\n" +
                             "LANGUAGE 7, 1\n1111 RCDATA \"" + program("windows_paths") + "\"\n" +
                             "2000 RCDATA \"" + notes + "\"\n";
  const std::string exe = linkWindowsExecutable(dir, "several.exe", script);
  const ProcessResult run = runProcess({kBin + "/ksrun", "--extract", exe, dir + "/out.ksm"});
  ASSERT_EQ(run.exitCode, 0) << run.err;
  // German (0x407) comes before English (0x409) in the language directory.
  EXPECT_EQ(readBytes(dir + "/out.ksm"), readBytes(program("windows_paths")));
}

TEST(WindowsGame, WithoutTheModuleResourceItIsNotAKestrelGame) {
  const std::string dir = makeTempDir();
  const std::string notes = writeText(dir + "/notes.txt", "not a module\n");
  const std::string bare = linkWindowsExecutable(dir, "bare.exe", "");
  const std::string other = linkWindowsExecutable(dir, "other.exe", "1112 RCDATA \"" + notes + "\"\n");
  for (const std::string& exe : {bare, other}) {
    const ProcessResult run = runProcess({kBin + "/ksrun", exe});
    EXPECT_EQ(run.exitCode, 4) << run.err;
    EXPECT_EQ(run.err, "ksrun: " + exe + ": not a Kestrel game: no module resource\n");
    const ProcessResult bind = runProcess({kBin + "/ksbind", exe, dir + "/game"});
    EXPECT_EQ(bind.exitCode, 4) << bind.err;
    EXPECT_EQ(bind.err, "ksbind: " + exe + ": not a Kestrel game: no module resource\n");
  }
  const std::string wrong = linkWindowsExecutable(dir, "wrong.exe", "1111 RCDATA \"" + notes + "\"\n");
  const ProcessResult run = runProcess({kBin + "/ksrun", wrong});
  EXPECT_EQ(run.exitCode, 4) << run.err;
  EXPECT_TRUE(has(run.err, "the module resource is not a Kestrel module image")) << run.err;
}

// Damaged executables: each refused with one line saying what is wrong, exit status 4.
TEST(WindowsGame, DamagedExecutablesAreRefusedWithAReason) {
  const std::string dir = makeTempDir();
  const std::vector<uint8_t> linked = readBytes(gameWithModule(dir, program("hello")));
  ASSERT_GT(linked.size(), 1024u);
  PeLayout layout;
  const std::vector<uint8_t> good =
      buildPe({{kResourceRcData, kModuleResourceId, 0x409, readBytes(program("hello"))}}, &layout);
  ASSERT_EQ(runProcess({kBin + "/ksrun", writeBytes(dir + "/good.exe", good)}).exitCode, 0);

  std::vector<std::pair<std::string, std::vector<uint8_t>>> cases;
  // ld puts the PE header at 0x80, the section table at 0x178 and .rsrc at 0x800.
  cases.push_back({"truncated: the optional header", {linked.begin(), linked.begin() + 0x100}});
  cases.push_back({"truncated: the section table", {linked.begin(), linked.begin() + 0x1A0}});
  cases.push_back({"the resource directory (RVA 0x3000", {linked.begin(), linked.begin() + 0xB00}});
  std::vector<uint8_t> file = good;
  putWord(file, layout.idEntry + 4, 0x80000000u);
  cases.push_back({"loop in the resource tree", file});
  file = good;
  putWord(file, layout.dataEntry + 4, getWord(good, layout.dataEntry + 4) + 1);
  cases.push_back({"the data of resource 10/1111", file});
  file = good;
  putWord(file, layout.typeEntry + 4, 0x80000000u | 0x00FFFFFFu);
  cases.push_back({"lies past the end of the resource tree", file});
  file = good;
  putWord(file, 0x3C, 0x7FFFFFFFu);
  cases.push_back({"PE header offset 0x7fffffff lies past the end", file});
  for (const auto& [words, bytes] : cases) {
    const std::string exe = writeBytes(dir + "/damaged.exe", bytes);
    const ProcessResult run = runProcess({kBin + "/ksrun", exe});
    EXPECT_EQ(run.exitCode, 4) << words;
    EXPECT_EQ(run.err.rfind("ksrun: " + exe + " is a damaged Windows executable: ", 0), 0u) << run.err;
    EXPECT_TRUE(has(run.err, words)) << run.err;
    EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
  }
}

// A module image whose code size makes it begin with "MZ" stays a module image.
TEST(WindowsGame, AModuleBeginningWithMZIsStillAModule) {
  std::vector<uint8_t> module(4 + 0x5A4D + 12, 0);
  module[0] = 'M';
  module[1] = 'Z';
  module[4] = 0xC3;  // ret
  const std::string dir = makeTempDir();
  const std::string path = writeBytes(dir + "/mz.ksm", module);
  const ProcessResult run = runProcess({kBin + "/ksrun", "--extract", path, dir + "/out.ksm"});
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(readBytes(dir + "/out.ksm"), module);
}

}  // namespace
