// The input module registers its 31 commands under the exact signatures compiled
// programs link against, each once.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "runtime/modules.h"

namespace {

std::vector<std::string> names;
void collect(CommandSignature signature, void* entry) {
  EXPECT_NE(entry, nullptr) << signature;
  names.emplace_back(signature);
}

TEST(InputRegistration, EveryKeyboardMouseAndJoystickCommandOnce) {
  names.clear();
  input_link(collect);
  const std::vector<std::string> expected = {
      "%KeyDown%key", "%KeyHit%key", "%GetKey", "%WaitKey", "FlushKeys", "%MouseDown%button", "%MouseHit%button",
      "%GetMouse", "%WaitMouse", "%MouseWait", "%MouseX", "%MouseY", "%MouseZ", "%MouseXSpeed", "%MouseYSpeed",
      "%MouseZSpeed", "FlushMouse", "MoveMouse%x%y", "%JoyType%port=0", "%JoyDown%button%port=0",
      "%JoyHit%button%port=0", "%GetJoy%port=0", "%WaitJoy%port=0", "%JoyWait%port=0", "#JoyX%port=0",
      "#JoyY%port=0", "#JoyZ%port=0", "%JoyXDir%port=0", "%JoyYDir%port=0", "%JoyZDir%port=0", "FlushJoy"};
  EXPECT_EQ(names, expected);
}

}  // namespace
