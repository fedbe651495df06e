// The string and math modules register their commands under the exact signatures the
// compiler links against, in order.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "runtime/modules.h"

namespace {

std::vector<std::string> names;
void collect(CommandSignature signature, void* entry) {
  EXPECT_NE(entry, nullptr) << signature;
  names.emplace_back(signature);
}

TEST(UtilRegistration, StringCommandsInOrder) {
  names.clear();
  string_link(collect);
  EXPECT_EQ(names, (std::vector<std::string>{
                       "$String$string%repeat", "$Left$string%count", "$Right$string%count",
                       "$Replace$string$from$to", "%Instr$string$find%from=1",
                       "$Mid$string%start%count=-1", "$Upper$string", "$Lower$string",
                       "$Trim$string", "$LSet$string%size", "$RSet$string%size", "$Chr%ascii",
                       "%Asc$string", "%Len$string", "$Hex%value", "$Bin%value", "$CurrentDate",
                       "$CurrentTime"}));
}

TEST(UtilRegistration, MathCommandsInOrder) {
  names.clear();
  math_link(collect);
  EXPECT_EQ(names, (std::vector<std::string>{
                       "#Sin#degrees", "#Cos#degrees", "#Tan#degrees", "#ASin#float",
                       "#ACos#float", "#ATan#float", "#ATan2#floata#floatb", "#Sqr#float",
                       "#Floor#float", "#Ceil#float", "#Exp#float", "#Log#float",
                       "#Log10#float", "#Rnd#from#to=0", "%Rand%from%to=1", "SeedRnd%seed"}));
}

}  // namespace
