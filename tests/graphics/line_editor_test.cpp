// Input, the console's line editor: editing keys, Escape and Backspace, key repeat
// timing and the blinking cursor with a scripted keyboard and clock; then typing into
// the window through the keyboard, the line left on screen without the cursor, and the
// end of the program while Input waits.
#include <functional>

#include "graphics/console.h"
#include "graphics/line_editor.h"
#include "tests/input/input_fixture.h"

using namespace gfxcmd;

namespace {

constexpr uint32_t kWhite = 0xFFFFFFFF;
constexpr uint32_t kBlack = 0xFF000000;

// Keys are their own character codes, except that keys from 1000 up type nothing (like
// Shift). Every wait advances the clock by 20 ms.
class ScriptedKeys final : public LineEditorInput {
public:
    static constexpr int32_t kNoCharacter = 1000;

    void press(uint32_t at, int32_t key, uint32_t heldFor = 1) { presses_.push_back({at, key, at + heldFor}); }
    void type(uint32_t at, const std::string& text) {
        for (char c : text) {
            press(at, uint8_t(c));
        }
    }

    uint32_t clock = 1000;
    uint32_t stopAt = UINT32_MAX;
    std::function<void()> afterWait;

    uint32_t now() override { return clock; }
    bool pump() override { return clock < stopAt; }
    void wait() override {
        clock += 20;
        if (afterWait) {
            afterWait();
        }
    }
    int32_t nextKey() override {
        if (next_ < presses_.size() && presses_[next_].at <= clock) {
            return presses_[next_++].key;
        }
        return 0;
    }
    int32_t character(int32_t key) override { return key < kNoCharacter ? key : 0; }
    bool held(int32_t key) override {
        for (size_t i = 0; i < next_; ++i) {
            if (presses_[i].key == key && clock < presses_[i].releasedAt) {
                return true;
            }
        }
        return false;
    }

private:
    struct Press {
        uint32_t at;
        int32_t key;
        uint32_t releasedAt;
    };
    std::vector<Press> presses_;
    size_t next_ = 0;
};

uint32_t frontPixel(int32_t x, int32_t y) {
    return uint32_t(readPixel(x, y, frontBuffer()));
}

bool inkBetween(int32_t left, int32_t right, int32_t top, int32_t bottom) {
    for (int32_t y = top; y < bottom; ++y) {
        for (int32_t x = left; x < right; ++x) {
            if (frontPixel(x, y) != kBlack) {
                return true;
            }
        }
    }
    return false;
}

int32_t width(const std::string& text) {
    return moduleTextWidth(text);
}

class LineEditor : public DisplayTest {
protected:
    void SetUp() override {
        DisplayTest::SetUp();
        graphics(400, 300, 32, 2);
    }
    std::string edit(ScriptedKeys& keys) {
        sysCanvas& front = beginConsoleOutput();
        std::string text = editConsoleLine(front, keys);
        endConsoleOutput();
        return text;
    }
};

constexpr int32_t Home = 1, End = 2, Delete = 4, Backspace = 8, Enter = 13, Escape = 27, Right = 30, Left = 31;

TEST_F(LineEditor, EditingKeysMoveTheInsertionPointAndRemoveCharacters) {
    ScriptedKeys keys;
    keys.type(1000, "abc");
    for (int32_t key : {Left, Left, int32_t('X'), Home, Delete, End, Backspace, Right, Left, Left, Left, Left,
                        Left, int32_t('<'), Enter}) {
        keys.press(1000, key);
    }
    EXPECT_EQ(edit(keys), "<Xb");
    EXPECT_EQ(graphicsState.console.x, 0);
    EXPECT_EQ(graphicsState.console.y, moduleFontHeight());
}

TEST_F(LineEditor, EscapeEmptiesTheLineAndBackspaceAtTheStartDoesNothing) {
    ScriptedKeys keys;
    keys.press(1000, Backspace);
    keys.type(1000, "ab");
    keys.press(1000, Escape);
    keys.type(1000, "c");
    keys.press(1000, Home);
    keys.press(1000, Backspace);
    keys.press(1000, Enter);
    EXPECT_EQ(edit(keys), "c");
}

TEST_F(LineEditor, KeysWithoutCharactersAndCodesWithoutGlyphsAreIgnored) {
    ScriptedKeys keys;
    keys.press(1000, ScriptedKeys::kNoCharacter);
    for (int32_t code : {3, 5, 6, 28, 29}) {  // Insert, PgUp, PgDn, Up, Down
        keys.press(1000, code);
    }
    keys.type(1000, "ok");
    keys.press(1000, Enter);
    EXPECT_EQ(edit(keys), "ok");
}

TEST_F(LineEditor, HoldingAKeyTypesItOnceThenAfter280MsThenEvery40Ms) {
    // Pressed at 1000 and held for `held` ms; the clock moves in 20 ms steps, so the
    // repeats come at 1300 (first step past 1280), 1340, 1380, ...
    const std::pair<uint32_t, size_t> cases[] = {{250, 1}, {290, 1}, {301, 2}, {341, 3}, {381, 4}, {500, 6}};
    for (const auto& [held, typed] : cases) {
        ScriptedKeys keys;
        keys.press(1000, 'a', held);
        keys.press(1600, Enter);
        graphicsState.console = ConsoleState{};
        EXPECT_EQ(edit(keys), std::string(typed, 'a')) << "held " << held << " ms";
    }
}

TEST_F(LineEditor, TheRepeatEndsWithTheNextPress) {
    ScriptedKeys keys;
    keys.press(1000, 'a', 1000);
    keys.press(1310, 'b', 1);  // 'a' has repeated once by then
    keys.press(1700, Enter);
    EXPECT_EQ(edit(keys), "aab");
}

TEST_F(LineEditor, TheCursorIsABlockThatBlinksEvery320Ms) {
    ScriptedKeys keys;
    keys.type(1000, "ab");
    keys.press(1800, Enter);
    const int32_t px = width("ab");
    std::vector<uint32_t> seen;
    keys.afterWait = [&] {
        if (keys.clock == 1100 || keys.clock == 1400 || keys.clock == 1700) {
            seen.push_back(frontPixel(px + 1, 1));
        }
    };
    EXPECT_EQ(edit(keys), "ab");
    EXPECT_EQ(seen, (std::vector<uint32_t>{kWhite, kBlack, kWhite}));
    // The final line shows the text and no cursor.
    EXPECT_TRUE(inkBetween(0, px, 0, moduleFontHeight()));
    EXPECT_FALSE(inkBetween(px, px + width("X"), 0, moduleFontHeight()));
}

TEST_F(LineEditor, TheProgramStoppingEndsTheEditWithAnEmptyText) {
    ScriptedKeys keys;
    keys.type(1000, "abc");
    keys.stopAt = 1200;
    EXPECT_EQ(edit(keys), "");
    EXPECT_FALSE(inkBetween(0, 100, 0, moduleFontHeight()));
}

TEST_F(LineEditor, TheScratchIsKeptWhileLargeEnoughAndFreedByANewDisplay) {
    ScriptedKeys keys;
    keys.press(1000, Enter);
    edit(keys);
    sysCanvas* scratch = graphicsState.inputScratch.get();
    ASSERT_NE(scratch, nullptr);
    EXPECT_EQ(scratch->width(), 400);
    EXPECT_EQ(scratch->height(), 2 * moduleFontHeight());
    ScriptedKeys again;
    again.press(1000, Enter);
    edit(again);
    EXPECT_EQ(graphicsState.inputScratch.get(), scratch);
    graphics(640, 480, 32, 2);
    EXPECT_EQ(graphicsState.inputScratch, nullptr);
}

// Input through the keyboard: keys typed into the window.
class InputCommand : public InputTest {
protected:
    static std::string input(const std::string& prompt) { return take(inputLine(str(prompt))); }
};

namespace scan {
constexpr int kEsc = 1, kBackspace = 14, kI = 23, kEnter = 28, kA = 30, kH = 35, kLeftShift = 42, kLeft = 203;
}  // namespace scan

TEST_F(InputCommand, ReturnsTheTypedLineAndLeavesItOnScreenWithoutTheCursor) {
    for (int k : {scan::kH, scan::kI, scan::kEnter}) {
        tap(k);
    }
    EXPECT_EQ(input("Name? "), "hi");
    EXPECT_TRUE(graphicsState.modeChosen);  // console output opened the default window
    EXPECT_EQ(graphicsState.console.x, 0);
    EXPECT_EQ(graphicsState.console.y, moduleFontHeight());
    const int32_t end = width("Name? hi");
    EXPECT_TRUE(inkBetween(width("Name? "), end, 0, moduleFontHeight()));
    EXPECT_FALSE(inkBetween(end, end + width("X"), 0, moduleFontHeight()));
}

TEST_F(InputCommand, ShiftEscapeBackspaceAndCursorKeysFromTheKeyboard) {
    key(scan::kLeftShift, true);
    for (int k : {scan::kH, scan::kEsc, scan::kA, scan::kI, scan::kLeft, scan::kBackspace, scan::kH, scan::kEnter}) {
        tap(k);
    }
    EXPECT_EQ(input(""), "HI");
}

TEST_F(InputCommand, EndsTheProgramWhenTheWindowClosesWhileItWaits) {
    tap(scan::kH);
    closeWindow();
    EXPECT_EQ(errorOf([] { input("? "); }), "(silent end)");
}

}  // namespace
