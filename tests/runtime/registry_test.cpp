// The symbol enumeration every host links against, and the registered signatures.
#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <set>
#include <string>

#include "runtime/module_image.h"
#include "runtime/modules.h"
#include "runtime/runtime_interface.h"
#include "runtime/runtime_singleton.h"
#include "runtime/signature_check.h"

namespace {

std::set<std::string> enumerateNames(Runtime& runtime) {
  std::set<std::string> names;
  while (const char* name = runtime.nextSymbol()) {
    names.insert(name);
  }
  return names;
}

TEST(Registry, VersionIs172) {
  EXPECT_EQ(theRuntime().getVersion(), 172);
}

TEST(Registry, EnumeratingTwiceYieldsTheSameNames) {
  Runtime& runtime = theRuntime();
  const std::set<std::string> first = enumerateNames(runtime);
  const std::set<std::string> second = enumerateNames(runtime);
  EXPECT_FALSE(first.empty());
  EXPECT_EQ(first, second);
  EXPECT_TRUE(first.count("End"));
  EXPECT_TRUE(first.count("AppTitle$title$close_prompt=\"\""));
  EXPECT_TRUE(first.count("_ksDebugStmt"));
}

TEST(Registry, SymbolValueFindsOnlyThePointersHandedOut) {
  Runtime& runtime = theRuntime();
  const char* handedOut = nullptr;
  while (const char* name = runtime.nextSymbol()) {
    if (std::strcmp(name, "End") == 0) {
      handedOut = name;
      break;
    }
  }
  ASSERT_NE(handedOut, nullptr);
  char copy[] = "End";
  EXPECT_NE(runtime.symbolValue(handedOut), -1);
  EXPECT_EQ(runtime.symbolValue(copy), -1);
  runtime.shutDown();
  EXPECT_EQ(runtime.symbolValue(handedOut), -1);  // the table is empty again
}

TEST(Registry, CoreEntriesComeFirstInTheDesignedOrder) {
  static std::vector<std::string> order;
  order.clear();
  core_link([](CommandSignature signature, void*) { order.push_back(signature); });
  const std::vector<std::string> expected = {
      "End", "Stop", "AppTitle$title$close_prompt=\"\"", "RuntimeError$message",
      "ExecFile$command", "Delay%millisecs", "%MilliSecs", "$CommandLine",
      "$SystemProperty$property", "$GetEnv$env_var", "SetEnv$env_var$value",
      "%CreateTimer%hertz", "%WaitTimer%timer", "FreeTimer%timer", "DebugLog$text",
      "_ksDebugStmt", "_ksDebugEnter", "_ksDebugLeave"};
  EXPECT_EQ(order, expected);
}

TEST(Registry, EverySignatureIsWellFormedAndLinkNamesAreUnique) {
  Runtime& runtime = theRuntime();
  std::map<std::string, std::string> byLinkName;
  while (const char* name = runtime.nextSymbol()) {
    EXPECT_EQ(signatureProblem(name), "") << name;
    EXPECT_NE(runtime.symbolValue(name), -1) << name;
    const auto [it, inserted] = byLinkName.emplace(linkName(name), name);
    EXPECT_TRUE(inserted) << name << " and " << it->second << " share " << it->first;
  }
}

TEST(Registry, DataSymbolsPointAtTheirTypeCodes) {
  Runtime& runtime = theRuntime();
  std::map<std::string, int32_t> values;
  while (const char* name = runtime.nextSymbol()) {
    values[name] = runtime.symbolValue(name);
  }
  const std::pair<const char*, int> codes[] = {
      {"_ksIntType", 1}, {"_ksFltType", 2}, {"_ksStrType", 3}, {"_ksCStrType", 4}};
  for (const auto& [name, code] : codes) {
    ASSERT_TRUE(values.count(name)) << name << " is not registered";
    EXPECT_EQ(*reinterpret_cast<const int32_t*>(intptr_t(values[name])), code) << name;
  }
}

TEST(SignatureGrammar, AcceptsTheDocumentedForms) {
  for (const char* good : {"End", "%MilliSecs", "Delay%millisecs", "$GetEnv$env_var",
                           "CopyStream%src_stream%dest_stream%buffer_size=16384",
                           "$Mid$string%start%count=-1", "#Rnd#from#to=0",
                           "%SendNetMsg%type$msg%from_player%to_player=0%reliable=1",
                           "AppTitle$title$close_prompt=\"\"", "_ksStrLoad", "RuntimeStats"}) {
    EXPECT_EQ(signatureProblem(good), "") << good;
  }
}

TEST(SignatureGrammar, RejectsMalformedSignatures) {
  for (const char* bad : {"", "_", "_ks.Str", "%", "1Go", "Go%", "Go%a=1%b", "Go%a=x",
                          "Go%a=\"\"", "Go$a=\"", "Go&a", "Go$a=--1"}) {
    EXPECT_NE(signatureProblem(bad), "") << bad;
  }
}

TEST(LinkNames, FollowTheLinkNameRule) {
  EXPECT_EQ(linkName("_ksStrLoad"), "__ksStrLoad");
  EXPECT_EQ(linkName("_ksIntType"), "__ksIntType");
  EXPECT_EQ(linkName("%KeyDown%key"), "_fkeydown");
  EXPECT_EQ(linkName("End"), "_fend");
  EXPECT_EQ(linkName("AppTitle$title$close_prompt=\"\""), "_fapptitle");
  EXPECT_EQ(linkName("$Mid$string%start%count=-1"), "_fmid");
}

}  // namespace
