// Drawing the set-up dialog's controls. Every text is clipped to its control.
#include "multiplay/dialog_controls.h"

#include <algorithm>

#include "graphics/canvas.h"
#include "graphics/sys_font.h"

namespace {

DialogRect dlu(int32_t baseX, int32_t baseY, int32_t x, int32_t y, int32_t w, int32_t h) {
  return DialogRect{x * baseX / 4, y * baseY / 8, w * baseX / 4, h * baseY / 8};
}

}  // namespace

DialogGeometry layoutDialog(int32_t baseX, int32_t baseY) {
  DialogGeometry g;
  g.width = 190 * baseX / 4;
  g.height = 199 * baseY / 8;
  g.rowHeight = baseY;
  g.connectionLabel = dlu(baseX, baseY, 10, 11, 170, 8);
  // The template's 60 units are the drop-down with its list open; closed it is one line.
  g.connection = dlu(baseX, baseY, 10, 22, 170, 12);
  g.connection.h = std::max(g.connection.h, baseY + 6);
  g.gamesLabel = dlu(baseX, baseY, 10, 42, 170, 8);
  g.games = dlu(baseX, baseY, 10, 53, 170, 82);
  g.nameLabel = dlu(baseX, baseY, 10, 144, 170, 8);
  g.name = dlu(baseX, baseY, 10, 155, 170, 12);
  g.create = dlu(baseX, baseY, 10, 178, 67, 14);
  g.cancel = dlu(baseX, baseY, 135, 178, 45, 14);
  return g;
}

int32_t averageCharWidth(const sysFont& font) {
  std::string letters;
  for (char c = 'A'; c <= 'Z'; ++c) {
    letters += c;
  }
  for (char c = 'a'; c <= 'z'; ++c) {
    letters += c;
  }
  return (font.stringWidth(letters) / 26 + 1) / 2;
}

void DialogPainter::face(int32_t width, int32_t height) {
  canvas_.setViewport(0, 0, width, height);
  canvas_.setColour(kDialogFace);
  canvas_.rect(0, 0, width, height, true);
}

void DialogPainter::textIn(const DialogRect& clip, int32_t x, int32_t y, const std::string& text, uint32_t colour) {
  canvas_.setViewport(clip.x, clip.y, clip.w, clip.h);
  canvas_.setFont(&font_);
  canvas_.setColour(colour);
  canvas_.text(x, y, text);
  canvas_.setViewport(0, 0, canvas_.width(), canvas_.height());
}

void DialogPainter::sunken(const DialogRect& r, uint32_t inside) {
  canvas_.setColour(inside);
  canvas_.rect(r.x, r.y, r.w, r.h, true);
  canvas_.setColour(kDialogShadow);
  canvas_.line(r.x, r.y, r.x + r.w - 1, r.y);
  canvas_.line(r.x, r.y, r.x, r.y + r.h - 1);
  canvas_.setColour(kDialogDarkShadow);
  canvas_.line(r.x + 1, r.y + 1, r.x + r.w - 2, r.y + 1);
  canvas_.line(r.x + 1, r.y + 1, r.x + 1, r.y + r.h - 2);
  canvas_.setColour(kDialogHighlight);
  canvas_.line(r.x, r.y + r.h - 1, r.x + r.w - 1, r.y + r.h - 1);
  canvas_.line(r.x + r.w - 1, r.y, r.x + r.w - 1, r.y + r.h - 1);
}

void DialogPainter::raised(const DialogRect& r, bool pressed) {
  canvas_.setColour(kDialogFace);
  canvas_.rect(r.x, r.y, r.w, r.h, true);
  canvas_.setColour(pressed ? kDialogDarkShadow : kDialogHighlight);
  canvas_.line(r.x, r.y, r.x + r.w - 1, r.y);
  canvas_.line(r.x, r.y, r.x, r.y + r.h - 1);
  canvas_.setColour(pressed ? kDialogHighlight : kDialogDarkShadow);
  canvas_.line(r.x, r.y + r.h - 1, r.x + r.w - 1, r.y + r.h - 1);
  canvas_.line(r.x + r.w - 1, r.y, r.x + r.w - 1, r.y + r.h - 1);
  canvas_.setColour(kDialogShadow);
  canvas_.line(r.x + 1, r.y + r.h - 2, r.x + r.w - 2, r.y + r.h - 2);
  canvas_.line(r.x + r.w - 2, r.y + 1, r.x + r.w - 2, r.y + r.h - 2);
}

void DialogPainter::focusFrame(const DialogRect& r) {
  canvas_.setColour(kDialogText);
  for (int32_t x = r.x; x < r.x + r.w; x += 2) {
    canvas_.plot(x, r.y);
    canvas_.plot(x, r.y + r.h - 1);
  }
  for (int32_t y = r.y; y < r.y + r.h; y += 2) {
    canvas_.plot(r.x, y);
    canvas_.plot(r.x + r.w - 1, y);
  }
}

void DialogPainter::label(const DialogRect& r, const std::string& text) {
  textIn(DialogRect{r.x, r.y, r.w, std::max(r.h, font_.height())}, r.x, r.y, text, kDialogText);
}

void DialogPainter::dropDown(const DialogRect& r, const std::string& text, bool focused) {
  sunken(r, kDialogHighlight);
  const int32_t arrowWidth = r.h - 4;
  const DialogRect arrow{r.x + r.w - 2 - arrowWidth, r.y + 2, arrowWidth, r.h - 4};
  raised(arrow, false);
  canvas_.setColour(kDialogText);
  const int32_t cx = arrow.x + arrow.w / 2;
  const int32_t cy = arrow.y + arrow.h / 2 - 1;
  for (int32_t i = 0; i < 4; ++i) {
    canvas_.line(cx - 3 + i, cy + i, cx + 3 - i, cy + i);
  }
  const DialogRect field{r.x + 3, r.y + 3, r.w - arrowWidth - 7, r.h - 6};
  if (focused) {
    canvas_.setColour(kDialogSelection);
    canvas_.rect(field.x, field.y, field.w, field.h, true);
  }
  textIn(field, field.x + 1, r.y + (r.h - font_.height()) / 2, text,
         focused ? kDialogSelectedText : kDialogText);
}

void DialogPainter::dropDownList(const DialogGeometry& g, const std::vector<std::string>& items, int32_t selected) {
  const int32_t count = int32_t(items.size());
  const DialogRect all{g.connection.x, g.connection.y + g.connection.h, g.connection.w, count * g.rowHeight + 2};
  canvas_.setColour(kDialogText);
  canvas_.rect(all.x, all.y, all.w, all.h, false);
  for (int32_t i = 0; i < count; ++i) {
    DialogRect row = g.connectionRow(i);
    row.y += 1;
    row.x += 1;
    row.w -= 2;
    canvas_.setColour(i == selected ? kDialogSelection : kDialogHighlight);
    canvas_.rect(row.x, row.y, row.w, row.h, true);
    textIn(row, row.x + 2, row.y, items[size_t(i)], i == selected ? kDialogSelectedText : kDialogText);
  }
}

void DialogPainter::listBox(const DialogGeometry& g, const std::vector<std::string>& items, int32_t selected,
                            int32_t top, bool enabled, bool focused) {
  sunken(g.games, enabled ? kDialogHighlight : kDialogFace);
  const DialogRect inside{g.games.x + 2, g.games.y + 2, g.games.w - 4, g.games.h - 4};
  for (int32_t i = top; i < int32_t(items.size()); ++i) {
    const DialogRect row = g.gamesRow(i - top);
    if (row.y >= inside.y + inside.h) {
      break;
    }
    const bool isSelected = enabled && i == selected;
    if (isSelected) {
      canvas_.setViewport(inside.x, inside.y, inside.w, inside.h);
      canvas_.setColour(kDialogSelection);
      canvas_.rect(row.x, row.y, row.w, row.h, true);
      canvas_.setViewport(0, 0, canvas_.width(), canvas_.height());
    }
    const uint32_t colour = !enabled ? kDialogGreyText : isSelected ? kDialogSelectedText : kDialogText;
    textIn(inside, row.x + 2, row.y, items[size_t(i)], colour);
  }
  if (focused && enabled) {
    const int32_t shown = std::max<int32_t>(selected, 0) - top;
    DialogRect row = g.gamesRow(shown);
    if (row.y + row.h <= inside.y + inside.h) {
      focusFrame(row);
    }
  }
}

void DialogPainter::editField(const DialogRect& r, const std::string& text, size_t caret, bool enabled,
                              bool focused) {
  sunken(r, enabled ? kDialogHighlight : kDialogFace);
  const DialogRect inside{r.x + 3, r.y + 2, r.w - 6, r.h - 4};
  const int32_t caretX = font_.stringWidth(std::string_view(text).substr(0, caret));
  const int32_t scroll = std::max(0, caretX - (inside.w - 2));
  const int32_t ty = r.y + (r.h - font_.height()) / 2;
  textIn(inside, inside.x - scroll, ty, text, enabled ? kDialogText : kDialogGreyText);
  if (focused && enabled) {
    canvas_.setColour(kDialogText);
    canvas_.line(inside.x + caretX - scroll, ty, inside.x + caretX - scroll, ty + font_.height() - 1);
  }
}

void DialogPainter::button(const DialogRect& r, const std::string& text, bool enabled, bool focused, bool pressed) {
  raised(r, pressed);
  if (focused) {
    canvas_.setColour(kDialogText);
    canvas_.rect(r.x - 1, r.y - 1, r.w + 2, r.h + 2, false);
  }
  const int32_t tw = font_.stringWidth(text);
  const int32_t shift = pressed ? 1 : 0;
  textIn(r, r.x + (r.w - tw) / 2 + shift, r.y + (r.h - font_.height()) / 2 + shift, text,
         enabled ? kDialogText : kDialogGreyText);
  if (focused) {
    focusFrame(DialogRect{r.x + 3, r.y + 3, r.w - 6, r.h - 6});
  }
}
