// A fresh temporary directory, made the current directory for one test and removed
// afterwards, with the filesystem module created around it.
#pragma once
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "basic/ks_error.h"
#include "runtime/modules.h"

class TempDirTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/ks_files_XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    root = pattern;
    saved = std::filesystem::current_path();
    std::filesystem::current_path(root);
    debugMode = false;
    ASSERT_TRUE(filesystem_create());
  }
  void TearDown() override {
    filesystem_destroy();
    debugMode = false;
    std::filesystem::current_path(saved);
    std::filesystem::remove_all(root);
  }
  static void put(const std::string& name, const std::string& bytes) {
    std::ofstream(name, std::ios::binary) << bytes;
  }
  static std::string contents(const std::string& name) {
    std::ifstream in(name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  std::string root;
  std::filesystem::path saved;
};
