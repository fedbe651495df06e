#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "compiled_data.h"
#include "runtime/modules.h"

namespace {

std::vector<std::string> linkedNames() {
  static std::vector<std::string> names;
  names.clear();
  basic_link([](CommandSignature name, void*) { names.push_back(name); });
  return names;
}

TEST(BasicModule, RegistersFiftyNamesInTableOrder) {
  const std::vector<std::string> names = linkedNames();
  ASSERT_EQ(names.size(), 50u);
  EXPECT_EQ(std::vector<std::string>(names.begin(), names.begin() + 5),
            (std::vector<std::string>{"_ksIntType", "_ksFltType", "_ksStrType", "_ksCStrType", "_ksStrLoad"}));
  EXPECT_EQ(names[13], "_ksStrConst");
  EXPECT_EQ(names[14], "_ksDimArray");
  EXPECT_EQ(names[20], "_ksObjNew");
  EXPECT_EQ(names[37], "_ksNullObjEx");
  EXPECT_EQ(names[38], "_ksRestore");
  EXPECT_EQ(names[42], "_ksAbs");
  EXPECT_EQ(names.back(), "RuntimeStats");
  EXPECT_EQ(std::set<std::string>(names.begin(), names.end()).size(), 50u);
  for (size_t i = 0; i + 1 < names.size(); ++i) {
    EXPECT_EQ(names[i].rfind("_ks", 0), 0u) << names[i];
  }
}

TEST(BasicModule, DataSymbolsAreWordsHoldingTheTypeCodes) {
  std::map<std::string, void*>& symbols = basicSymbols();
  EXPECT_EQ(*static_cast<int32_t*>(symbols["_ksIntType"]), 1);
  EXPECT_EQ(*static_cast<int32_t*>(symbols["_ksFltType"]), 2);
  EXPECT_EQ(*static_cast<int32_t*>(symbols["_ksStrType"]), 3);
  EXPECT_EQ(*static_cast<int32_t*>(symbols["_ksCStrType"]), 4);
  for (const auto& [name, entry] : symbols) {
    EXPECT_NE(entry, nullptr) << name;
  }
}

TEST(BasicModule, CreateSweepsWhatAnEarlierRunLeft) {
  ASSERT_TRUE(basic_create());
  ksStrNew("left over");
  ASSERT_TRUE(basic_create());
  EXPECT_EQ(ksStrActiveCount(), 0);
  basic_destroy();
}

}  // namespace
