// The keyboard commands with keys typed into the window: hit counts and the press queue,
// held keys, translation to characters on a US layout, and WaitKey.
#include "tests/input/input_fixture.h"

using namespace inputcmd;

namespace {

using Keyboard = InputTest;

// Key codes (set-1 scan codes, bit 7 for extended keys).
constexpr int Esc = 1, One = 2, Two = 3, Six = 7, Minus = 12, Backspace = 14, Tab = 15, Q = 16, LeftBracket = 26,
              Enter = 28, LeftCtrl = 29, A = 30, LeftShift = 42, Backslash = 43, Z = 44, RightShift = 54,
              Space = 57, CapsLock = 58, KeypadSeven = 71, KeypadMinus = 74, KeypadEnter = 156, RightCtrl = 157,
              Mute = 160, VolumeUp = 176, RightAlt = 184, Home = 199, Up = 200, PageUp = 201, Left = 203,
              Right = 205, End = 207, Down = 208, PageDown = 209, Insert = 210, Delete = 211, LeftWindows = 219;

TEST_F(Keyboard, MoreThanThirtyTwoPressesAreAllCountedButOnlyTheFirstThirtyTwoQueued) {
  for (int i = 0; i < 40; ++i) {
    tap(i < 32 ? A : Z);
  }
  EXPECT_EQ(keyHit(A), 32);
  EXPECT_EQ(keyHit(Z), 8);
  EXPECT_EQ(keyHit(A), 0);  // the count restarts
  int queued = 0;
  while (int32_t character = getKey()) {
    EXPECT_EQ(character, 'a');
    ++queued;
  }
  EXPECT_EQ(queued, 32);
  // Reading makes room again.
  tap(Z);
  EXPECT_EQ(getKey(), 'z');
  EXPECT_EQ(getKey(), 0);
}

TEST_F(Keyboard, FlushKeysWhileAKeyIsHeldKeepsItDown) {
  key(Space, true);
  EXPECT_EQ(keyDown(Space), 1);
  flushKeys();
  EXPECT_EQ(keyDown(Space), 1);
  EXPECT_EQ(keyHit(Space), 0);
  EXPECT_EQ(getKey(), 0);
  key(Space, false);
  EXPECT_EQ(keyDown(Space), 0);
}

TEST_F(Keyboard, AHeldKeyIsOnePressAndRightCtrlIs157) {
  key(A, true);
  for (int i = 0; i < 5; ++i) {
    autoRepeat(A);
  }
  key(RightCtrl, true);
  EXPECT_EQ(keyHit(A), 1);
  EXPECT_EQ(keyDown(RightCtrl), 1);
  EXPECT_EQ(keyDown(LeftCtrl), 0);
  key(A, false);
  EXPECT_EQ(keyDown(A), 0);
}

// The translation reads the modifiers as they are when the key is taken from the queue.
TEST_F(Keyboard, ShiftGivesCapitalsAndCapsLockChangesNothing) {
  tap(A);
  EXPECT_EQ(getKey(), 'a');
  key(LeftShift, true);
  tap(A);
  tap(One);
  EXPECT_EQ(getKey(), 0);  // the Shift press itself: no character, but consumed
  EXPECT_EQ(getKey(), 'A');
  EXPECT_EQ(getKey(), '!');
  key(LeftShift, false);
  key(RightShift, true);
  tap(Minus);
  EXPECT_EQ(getKey(), 0);
  EXPECT_EQ(getKey(), '_');
  key(RightShift, false);
  tap(CapsLock);
  tap(A);
  EXPECT_EQ(getKey(), 0);
  EXPECT_EQ(getKey(), 'a');
}

TEST_F(Keyboard, CursorAndEditingKeysGiveFixedCodes) {
  const int keys[] = {Home, Up, PageUp, Left, Right, End, Down, PageDown, Insert, Delete};
  const int codes[] = {1, 28, 5, 31, 30, 2, 29, 6, 3, 4};
  key(LeftShift, true);  // no modifier changes them
  for (int k : keys) {
    tap(k);
  }
  EXPECT_EQ(getKey(), 0);
  for (int code : codes) {
    EXPECT_EQ(getKey(), code);
  }
}

TEST_F(Keyboard, CtrlGivesControlCodesAltAloneIsIgnoredAndCtrlAltTypesNothing) {
  key(LeftCtrl, true);
  EXPECT_EQ(manager().toAscii(A), 1);
  EXPECT_EQ(manager().toAscii(Z), 26);
  EXPECT_EQ(manager().toAscii(LeftBracket), 27);
  EXPECT_EQ(manager().toAscii(Backslash), 28);
  EXPECT_EQ(manager().toAscii(Enter), 10);
  EXPECT_EQ(manager().toAscii(Backspace), 127);
  EXPECT_EQ(manager().toAscii(One), 0);
  key(LeftShift, true);
  EXPECT_EQ(manager().toAscii(Six), 30);
  EXPECT_EQ(manager().toAscii(Minus), 31);
  EXPECT_EQ(manager().toAscii(Two), 0);
  key(LeftShift, false);
  key(RightAlt, true);
  EXPECT_EQ(manager().toAscii(A), 0);
  key(LeftCtrl, false);
  EXPECT_EQ(manager().toAscii(A), 'a');
  EXPECT_EQ(manager().toAscii(Home), 1);
}

TEST_F(Keyboard, KeysWithoutCharactersAndExtendedKeys) {
  EXPECT_EQ(manager().toAscii(Esc), 27);
  EXPECT_EQ(manager().toAscii(Tab), 9);
  EXPECT_EQ(manager().toAscii(Enter), 13);
  EXPECT_EQ(manager().toAscii(KeypadEnter), 13);
  EXPECT_EQ(manager().toAscii(KeypadMinus), '-');
  // Num Lock is not consulted: the keypad's digits are its navigation keys.
  EXPECT_EQ(manager().toAscii(KeypadSeven), 0);
  // Media and system keys share their low bits with letter keys but type nothing.
  EXPECT_EQ(manager().toAscii(Mute), 0);
  EXPECT_EQ(manager().toAscii(VolumeUp), 0);
  EXPECT_EQ(manager().toAscii(LeftWindows), 0);
  EXPECT_EQ(manager().toAscii(LeftShift), 0);
  EXPECT_EQ(manager().toAscii(0), 0);
  EXPECT_EQ(manager().toAscii(-200), 0);
  EXPECT_EQ(manager().toAscii(456), 0);
}

TEST_F(Keyboard, CodesOutsideTheTablesReadAsZero) {
  tap(A);
  for (int code : {-1, 256, 1000, INT32_MIN, INT32_MAX}) {
    EXPECT_EQ(keyDown(code), 0) << code;
    EXPECT_EQ(keyHit(code), 0) << code;
    EXPECT_EQ(mouseDown(code), 0) << code;
    EXPECT_EQ(mouseHit(code), 0) << code;
  }
  EXPECT_EQ(keyHit(A), 1);
}

TEST_F(Keyboard, WaitKeyReturnsTheFirstKeyThatTypesACharacter) {
  tap(LeftShift);
  tap(Up);
  tap(Q);
  EXPECT_EQ(waitKey(), 28);
  EXPECT_EQ(waitKey(), 'q');
}

TEST_F(Keyboard, WaitKeyEndsTheProgramWhenTheWindowCloses) {
  tap(LeftShift);
  closeWindow();
  EXPECT_EQ(errorOf([] { waitKey(); }), "(silent end)");
}

TEST_F(Keyboard, ANewRunStartsWithNoKeys) {
  key(A, true);
  EXPECT_EQ(keyDown(A), 1);
  input_destroy();
  ASSERT_TRUE(input_create());
  EXPECT_EQ(keyDown(A), 0);
  EXPECT_EQ(getKey(), 0);
}

}  // namespace
