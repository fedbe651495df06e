// The bank module created around each test, debug mode off unless a test sets it.
#pragma once
#include <gtest/gtest.h>

#include "basic/ks_error.h"
#include "runtime/modules.h"

class BankModuleTest : public ::testing::Test {
 protected:
  void SetUp() override {
    debugMode = false;
    ASSERT_TRUE(bank_create());
  }
  void TearDown() override {
    bank_destroy();
    debugMode = false;
  }
};
