// CallDLL on a library the suite builds: in and out banks, one bank for both, absent
// banks, and a library or function that cannot be found.
#include <gtest/gtest.h>

#include <string>

#include "basic/ks_error.h"
#include "basic/ks_str.h"
#include "runtime/modules.h"
#include "streams/bank_commands.h"
#include "tests/streams/bank_fixture.h"

using namespace bankcmd;

namespace {

class CallDllTest : public BankModuleTest {
 protected:
  static int32_t call(const std::string& function, int32_t in, int32_t out,
                      const std::string& library = KS_CALLDLL_LIBRARY) {
    return callDLL(ksStrNew(library), ksStrNew(function), in, out);
  }
};

TEST_F(CallDllTest, TheFunctionReadsTheInBankAndWritesTheOutBank) {
  const int32_t in = createBank(5);
  for (int i = 0; i < 5; ++i) {
    pokeByte(in, i, 100 + i);
  }
  const int32_t out = createBank(4);
  EXPECT_EQ(call("sum_bytes", in, out), 510);
  EXPECT_EQ(peekInt(out, 0), 510);
  const int32_t reversed = createBank(5);
  EXPECT_EQ(call("reverse_into", in, reversed), 5);
  EXPECT_EQ(peekByte(reversed, 0), 104);
  EXPECT_EQ(peekByte(reversed, 4), 100);
}

TEST_F(CallDllTest, OneBankCanBeBothInAndOut) {
  const int32_t bank = createBank(4);
  for (int i = 0; i < 4; ++i) {
    pokeByte(bank, i, i + 1);
  }
  EXPECT_EQ(call("same_bank", bank, bank), 1);
  // Lent, not copied: the function sees its own writes.
  EXPECT_EQ(call("reverse_into", bank, bank), 4);
  EXPECT_EQ(peekByte(bank, 0), 4);
  EXPECT_EQ(peekByte(bank, 1), 3);
  EXPECT_EQ(peekByte(bank, 2), 3);
  EXPECT_EQ(peekByte(bank, 3), 4);
}

TEST_F(CallDllTest, AbsentBanksArePassedAsNullAndZero) {
  EXPECT_EQ(call("describe", 0, 0), 1000 + 100000);
  const int32_t in = createBank(3);
  const int32_t out = createBank(7);
  EXPECT_EQ(call("describe", in, out), 30 + 7);
  EXPECT_EQ(call("describe", 0, out), 1000 + 7);
  resizeBank(out, 0);
  EXPECT_EQ(call("describe", in, out), 30);
}

TEST_F(CallDllTest, AMissingLibraryOrFunctionGivesZero) {
  EXPECT_EQ(call("sum_bytes", 0, 0, "no_such_library_here.so"), 0);
  EXPECT_EQ(call("no_such_function", 0, 0), 0);
  EXPECT_EQ(call("", 0, 0), 0);
  EXPECT_EQ(call("describe", 0, 0, ""), 0);
  // The library stays usable after a missing function.
  EXPECT_EQ(call("describe", 0, 0), 101000);
}

TEST_F(CallDllTest, ABareNameIsFoundNextToTheProgram) {
  const std::string path = KS_CALLDLL_LIBRARY;
  EXPECT_EQ(call("describe", 0, 0, path.substr(path.rfind('/') + 1)), 101000);
}

TEST_F(CallDllTest, BanksAreCheckedInDebugMode) {
  debugMode = true;
  const int32_t bank = createBank(4);
  freeBank(bank);
  try {
    call("describe", 0, bank);
    ADD_FAILURE() << "a freed out bank raised nothing";
  } catch (const ksEx& e) {
    EXPECT_STREQ(e.message, "ksBank does not exist");
  }
  EXPECT_EQ(call("describe", 0, 0), 101000);
}

}  // namespace
