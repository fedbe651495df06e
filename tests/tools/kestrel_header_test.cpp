// The generated kestrel_runtime.h declares every entry the registry holds, commands
// with the C types of their signatures.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

#include "runtime/command_registry.h"
#include "runtime/module_image.h"

namespace {

std::string header() {
  std::ifstream in(KESTREL_HEADER);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

std::vector<std::string> registered;

TEST(KestrelHeader, DeclaresEveryRegisteredEntry) {
  const std::string text = header();
  ASSERT_FALSE(text.empty());
  registered.clear();
  linkAll([](CommandSignature signature, void*) { registered.emplace_back(signature); });
  ASSERT_GT(registered.size(), 100u);
  for (const std::string& signature : registered) {
    const std::string link = linkName(signature.c_str());
    const bool function = text.find(" " + link + "(") != std::string::npos;
    const bool data = text.find(" " + link + ";") != std::string::npos;
    EXPECT_TRUE(function || data) << signature << " as " << link;
  }
}

TEST(KestrelHeader, CommandsTakeTheCTypesOfTheirSignatures) {
  const std::string text = header();
  for (const char* line : {
           "/* %Instr$string$find%from=1 */\n"
           "int _finstr(struct ksStr* string, struct ksStr* find, int from);\n",
           "/* AppTitle$title$close_prompt=\"\" */\n"
           "void _fapptitle(struct ksStr* title, struct ksStr* close_prompt);\n",
           "float _fatan2(float floata, float floatb);\n",
           "void _fwritefloat(int stream, float float_);\n",
           "struct ksStr* _fcommandline(void);\n",
           "void _fend(void);\n",
           "struct ksStr* __ksStrConst(const char* text);\n",
           "struct ksObj* __ksObjNew(struct ksType* type);\n",
           "extern int __ksIntType;\n",
       }) {
    EXPECT_NE(text.find(line), std::string::npos) << line;
  }
}

}  // namespace
