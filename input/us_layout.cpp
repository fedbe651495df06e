// The US layout's character table by set-1 scan code.
#include "input/us_layout.h"

namespace {

constexpr int16_t kNone = -1;

struct KeyCharacters {
  int16_t plain;
  int16_t shifted;
  int16_t ctrl;
  int16_t shiftCtrl;
};

struct Entry {
  uint8_t code;
  KeyCharacters characters;
};

constexpr Entry kTable[] = {
    {1, {27, 27, 27, kNone}},        // Escape
    {2, {'1', '!', kNone, kNone}},   {3, {'2', '@', kNone, 0}},      {4, {'3', '#', kNone, kNone}},
    {5, {'4', '$', kNone, kNone}},   {6, {'5', '%', kNone, kNone}},  {7, {'6', '^', kNone, 30}},
    {8, {'7', '&', kNone, kNone}},   {9, {'8', '*', kNone, kNone}},  {10, {'9', '(', kNone, kNone}},
    {11, {'0', ')', kNone, kNone}},  {12, {'-', '_', kNone, 31}},    {13, {'=', '+', kNone, kNone}},
    {14, {8, 8, 127, kNone}},        // Backspace
    {15, {9, 9, kNone, kNone}},      // Tab
    {26, {'[', '{', 27, kNone}},     {27, {']', '}', 29, kNone}},
    {28, {13, 13, 10, kNone}},       // Enter
    {39, {';', ':', kNone, kNone}},  {40, {'\'', '"', kNone, kNone}}, {41, {'`', '~', kNone, kNone}},
    {43, {'\\', '|', 28, kNone}},
    {51, {',', '<', kNone, kNone}},  {52, {'.', '>', kNone, kNone}}, {53, {'/', '?', kNone, kNone}},
    {55, {'*', '*', kNone, kNone}},  // keypad *
    {57, {' ', ' ', ' ', kNone}},    // Space
    {74, {'-', '-', kNone, kNone}},  // keypad -
    {78, {'+', '+', kNone, kNone}},  // keypad +
    {86, {'\\', '|', 28, kNone}},    // the key beside left Shift on 102-key boards
};

// The letter rows, from their first key's code; with Ctrl a letter gives its control code.
struct LetterRow {
  uint8_t firstCode;
  const char* letters;
};

constexpr LetterRow kLetterRows[] = {{16, "qwertyuiop"}, {30, "asdfghjkl"}, {44, "zxcvbnm"}};

struct Table {
  KeyCharacters byCode[128];
  Table() {
    for (KeyCharacters& characters : byCode) {
      characters = {kNone, kNone, kNone, kNone};
    }
    for (const Entry& entry : kTable) {
      byCode[entry.code] = entry.characters;
    }
    for (const LetterRow& row : kLetterRows) {
      for (int i = 0; row.letters[i] != '\0'; ++i) {
        const int16_t letter = int16_t(row.letters[i]);
        const int16_t control = int16_t(letter & 0x1F);
        byCode[row.firstCode + i] = {letter, int16_t(letter - 'a' + 'A'), control, control};
      }
    }
  }
};

const Table& table() {
  static const Table instance;
  return instance;
}

// Extended keys share their low seven bits with another key; only the keypad's Enter
// and divide keys type that key's character (media and system keys type nothing).
int32_t baseCode(int32_t code) {
  if (code < 0x80) {
    return code;
  }
  return (code == 156 || code == 181) ? code & 0x7F : 0;
}

}  // namespace

int32_t usLayoutCharacter(int32_t code, KeyModifiers modifiers) {
  if (code <= 0 || code > 255) {
    return 0;
  }
  const int32_t base = baseCode(code);
  if (base == 0 || (modifiers.alt && modifiers.ctrl)) {
    return 0;
  }
  const KeyCharacters& characters = table().byCode[base];
  const int16_t character = modifiers.ctrl ? (modifiers.shift ? characters.shiftCtrl : characters.ctrl)
                                           : (modifiers.shift ? characters.shifted : characters.plain);
  return character > 0 ? character : 0;
}
