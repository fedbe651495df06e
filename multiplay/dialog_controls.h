// The set-up dialog's look: its layout from dialog units and its controls (labels, a
// drop-down list, a list box, an edit field, push buttons) drawn in the classic grey
// style on a canvas with the dialog's font. No behaviour lives here.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

class sysCanvas;
class sysFont;

struct DialogRect {
  int32_t x = 0;
  int32_t y = 0;
  int32_t w = 0;
  int32_t h = 0;
  bool contains(int32_t px, int32_t py) const { return px >= x && py >= y && px < x + w && py < y + h; }
};

// Pixel positions of the dialog's controls. Dialog units become pixels through the
// font's base units: x * baseX / 4 and y * baseY / 8.
struct DialogGeometry {
  int32_t width = 0;
  int32_t height = 0;
  int32_t rowHeight = 0;  // one line of a list
  DialogRect connectionLabel;
  DialogRect connection;  // the closed drop-down; its list opens below it
  DialogRect gamesLabel;
  DialogRect games;
  DialogRect nameLabel;
  DialogRect name;
  DialogRect create;
  DialogRect cancel;
  // A row of the open drop-down list.
  DialogRect connectionRow(int32_t index) const {
    return DialogRect{connection.x, connection.y + connection.h + index * rowHeight, connection.w, rowHeight};
  }
  // A row of the games list (before scrolling).
  DialogRect gamesRow(int32_t index) const {
    return DialogRect{games.x + 2, games.y + 2 + index * rowHeight, games.w - 4, rowHeight};
  }
};

// baseX is the font's average character width, baseY its height.
DialogGeometry layoutDialog(int32_t baseX, int32_t baseY);
// Windows' average-width rule: the width of "A".."Z" and "a".."z", halved per letter pair.
int32_t averageCharWidth(const sysFont& font);

// Colours of the classic look.
constexpr uint32_t kDialogFace = 0xFFD4D0C8;
constexpr uint32_t kDialogShadow = 0xFF808080;
constexpr uint32_t kDialogDarkShadow = 0xFF404040;
constexpr uint32_t kDialogHighlight = 0xFFFFFFFF;
constexpr uint32_t kDialogText = 0xFF000000;
constexpr uint32_t kDialogGreyText = 0xFF808080;
constexpr uint32_t kDialogSelection = 0xFF0A246A;
constexpr uint32_t kDialogSelectedText = 0xFFFFFFFF;

class DialogPainter {
 public:
  DialogPainter(sysCanvas& canvas, sysFont& font) : canvas_(canvas), font_(font) {}

  void face(int32_t width, int32_t height);
  void label(const DialogRect& r, const std::string& text);
  void dropDown(const DialogRect& r, const std::string& text, bool focused);
  // The open drop-down's rows below the closed box, one selected.
  void dropDownList(const DialogGeometry& g, const std::vector<std::string>& items, int32_t selected);
  void listBox(const DialogGeometry& g, const std::vector<std::string>& items, int32_t selected, int32_t top,
               bool enabled, bool focused);
  // The text scrolled so that the caret stays inside the field.
  void editField(const DialogRect& r, const std::string& text, size_t caret, bool enabled, bool focused);
  void button(const DialogRect& r, const std::string& text, bool enabled, bool focused, bool pressed);

 private:
  void sunken(const DialogRect& r, uint32_t inside);
  void raised(const DialogRect& r, bool pressed);
  void textIn(const DialogRect& clip, int32_t x, int32_t y, const std::string& text, uint32_t colour);
  void focusFrame(const DialogRect& r);

  sysCanvas& canvas_;
  sysFont& font_;
};
