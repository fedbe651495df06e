// The front end and the code generator on mutated programs: every input ends in a
// module or in a CompileError with a position inside the source, never in a crash,
// another exception or an endless loop. The mutations are seeded, so a failure repeats.
#include <gtest/gtest.h>

#include <dirent.h>

#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "tools/kbc/codegen.h"
#include "tools/kbc/parser.h"

namespace {

std::vector<std::string> seeds() {
  std::vector<std::string> texts;
  DIR* dir = opendir(KBC_SEEDS);
  if (!dir) {
    return texts;
  }
  while (dirent* entry = readdir(dir)) {
    const std::string name = entry->d_name;
    if (name.size() > 3 && name.substr(name.size() - 3) == ".kb") {
      std::ifstream in(std::string(KBC_SEEDS) + "/" + name);
      std::stringstream text;
      text << in.rdbuf();
      texts.push_back(text.str());
    }
  }
  closedir(dir);
  std::sort(texts.begin(), texts.end());
  return texts;
}

const char* const kPieces[] = {
    "If", "Then", "Else", "EndIf", "End", "For", "To", "Step", "Next", "Each", "While", "Wend", "Repeat",
    "Until", "Forever", "Exit", "Function", "Return", "Gosub", "Goto", "Select", "Case", "Default", "Type",
    "Field", "New", "Delete", "First", "Last", "After", "Before", "Insert", "Null", "Object.", "Data", "Read",
    "Restore", "Const", "Global", "Local", "Dim", "Include", "And", "Or", "Not", "Mod", "Shl", "(", ")", "[",
    "]", "\\", ".", ",", ":", "=", "<>", "+", "-", "*", "/", "^", "\"", "\n", "x%", "y#", "s$", "t.T", "0",
    "2147483648", "1.5e40", "$FFFFFFFFF", ";", "DebugLog", "Mid", "Abs", "Handle", "RuntimeStats", "\t", "\x01"};

std::string mutate(std::string text, std::mt19937& random) {
  const int edits = 1 + int(random() % 4);
  for (int i = 0; i < edits && !text.empty(); ++i) {
    const size_t at = random() % (text.size() + 1);
    const size_t length = std::min<size_t>(1 + random() % 12, text.size() - std::min(at, text.size()));
    switch (random() % 5) {
      case 0: text.erase(at, length); break;
      case 1: text.insert(at, text.substr(random() % text.size(), 1 + random() % 20)); break;
      case 2: text.insert(at, std::string(" ") + kPieces[random() % (sizeof kPieces / sizeof *kPieces)] + " "); break;
      case 3:
        if (at < text.size()) {
          text[at] = char(random() % 128);
        }
        break;
      default: {
        const size_t other = random() % text.size();
        if (at < text.size()) {
          std::swap(text[at], text[other]);
        }
        break;
      }
    }
  }
  return text;
}

// Compiles one source; true when a module came out. A CompileError must point into the source.
bool compileOnce(const std::string& text) {
  SourceSet sources;
  sources.files.push_back({"fuzz.kb", text});
  try {
    const IncludeLoader refuse = [](const std::string&, SourcePos pos) -> int { fail(pos, "no includes here"); };
    Program program = parseProgram(sources, 0, refuse);
    const std::vector<uint8_t> image = compileProgram(program, sources, CompileOptions{});
    EXPECT_GT(image.size(), 8u);
    return true;
  } catch (const CompileError& e) {
    int lines = 1;
    for (char c : text) {
      lines += c == '\n';
    }
    EXPECT_GE(e.pos.line, 1);
    EXPECT_LE(e.pos.line, lines + 1) << e.what();
    EXPECT_GE(e.pos.column, 1);
    EXPECT_FALSE(formatError(sources, e).empty());
    return false;
  }
}

TEST(KbcFuzz, MutatedProgramsCompileOrFailWithAPosition) {
  const std::vector<std::string> texts = seeds();
  ASSERT_GE(texts.size(), 5u);
  std::mt19937 random(20261209);
  int compiled = 0;
  for (int round = 0; round < 5000; ++round) {
    const std::string source = mutate(texts[random() % texts.size()], random);
    compiled += compileOnce(source);
  }
  // Some mutations leave a valid program: the generator runs too, not only the parser.
  EXPECT_GT(compiled, 20);
}

TEST(KbcFuzz, HostileShapesEndInErrors) {
  EXPECT_FALSE(compileOnce(std::string(100000, '(')));
  EXPECT_FALSE(compileOnce("x = " + std::string(5000, '-') + "1"));
  EXPECT_FALSE(compileOnce(std::string(3000, '\n') + "If 1"));
  EXPECT_FALSE(compileOnce("Function f()\n" + std::string(10, '\0')));
  EXPECT_FALSE(compileOnce("x = Not Not Not"));
  std::string ifs;
  for (int i = 0; i < 300; ++i) {
    ifs += "If 1\n";
  }
  EXPECT_FALSE(compileOnce(ifs));
  EXPECT_TRUE(compileOnce(""));
  EXPECT_TRUE(compileOnce("; only a comment"));
}

}  // namespace
