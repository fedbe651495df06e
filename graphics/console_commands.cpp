// The text console: Write, Print, Input and Locate work on the front buffer at the
// console cursor, whatever buffer is current, scrolling the front buffer when the next
// line would not fit.
#include <algorithm>

#include "basic/ks_error.h"
#include "basic/ks_str.h"
#include "graphics/console.h"
#include "graphics/graphics_commands.h"
#include "graphics/graphics_state.h"
#include "graphics/line_editor.h"
#include "graphics/sys_font.h"
#include "graphics/sys_graphics.h"
#include "host/sys_runtime.h"
#include "input/console_keys.h"
#include "platform/clock.h"
#include "runtime/entry.h"

namespace {

GraphicsState& g = graphicsState;

// The line editor on the run's keyboard, clock and event pump.
class RunKeys final : public LineEditorInput {
public:
    uint32_t now() override { return monotonicMillis(); }
    bool pump() override { return currentRuntime->pollEvents(); }
    void wait() override { currentRuntime->delay(20); }
    int32_t nextKey() override { return takeKeyPress(); }
    int32_t character(int32_t key) override { return keyCharacter(key); }
    bool held(int32_t key) override { return keyHeld(key); }
};

}  // namespace

namespace gfxcmd {

void writeText(ksStr* string) {
    const std::string text = ksStrTake(string);
    sysCanvas& front = beginConsoleOutput();
    front.text(g.console.x, g.console.y, text);
    g.console.x += moduleTextWidth(text);
    endConsoleOutput();
}

void printLine(ksStr* string) {
    const std::string text = ksStrTake(string);
    sysCanvas& front = beginConsoleOutput();
    front.text(g.console.x, g.console.y, text);
    g.console.x = 0;
    g.console.y += moduleFontHeight();
    endConsoleOutput();
}

ksStr* inputLine(ksStr* prompt) {
    const std::string text = ksStrTake(prompt);
    sysCanvas& front = beginConsoleOutput();
    front.text(g.console.x, g.console.y, text);
    g.console.x += moduleTextWidth(text);
    RunKeys keys;
    const std::string line = editConsoleLine(front, keys);
    endConsoleOutput();
    return ksStrNew(line);
}

void locate(int32_t x, int32_t y) {
    sysCanvas* front = g.display->frontCanvas();
    g.console.x = std::clamp(x, 0, front->width());
    g.console.y = std::clamp(y, 0, front->height());
}

}  // namespace gfxcmd

sysCanvas& beginConsoleOutput() {
    if (!g.modeChosen) {
        gfxcmd::graphics(400, 300, 0, 2);
    }
    sysCanvas& front = *g.display->frontCanvas();
    ConsoleState& c = g.console;
    c.savedOriginX = front.originX();
    c.savedOriginY = front.originY();
    c.savedHandleX = front.handleX();
    c.savedHandleY = front.handleY();
    c.savedViewport = front.viewport();
    front.setOrigin(0, 0);
    front.setHandle(0, 0);
    front.setViewport(0, 0, front.width(), front.height());
    if (&front != g.buffer) {
        front.setFont(g.font);
        front.setColour(g.colour);
    }
    const int32_t overflow = c.y + moduleFontHeight() - front.height();
    if (overflow > 0) {
        c.y = front.height() - moduleFontHeight();
        front.blit(0, 0, front, 0, overflow, front.width(), front.height() - overflow, true);
        front.setColour(g.clsColour);
        front.rect(0, front.height() - overflow, front.width(), overflow, true);
        front.setColour(g.colour);
    }
    return front;
}

void endConsoleOutput() {
    sysCanvas& front = *g.display->frontCanvas();
    const ConsoleState& c = g.console;
    const SurfaceRect& v = c.savedViewport;
    front.setViewport(v.left, v.top, v.width(), v.height());
    front.setHandle(c.savedHandleX, c.savedHandleY);
    front.setOrigin(c.savedOriginX, c.savedOriginY);
    if (&front == g.buffer) {
        front.setColour(g.colour);
    }
    pumpOrEnd();
}

void console_commands_link(LinkCallback callback) {
    using namespace gfxcmd;
    callback("Write$string", ksEntry<&writeText>());
    callback("Print$string=\"\"", ksEntry<&printLine>());
    callback("$Input$prompt=\"\"", ksEntry<&inputLine>());
    callback("Locate%x%y", ksEntry<&locate>());
}
