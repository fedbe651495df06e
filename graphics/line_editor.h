// The console's line editor, the working part of Input: a blinking block cursor on the
// console line, key repeat, and the editing keys. It reads keys, time and the event pump
// through LineEditorInput, so the run's keyboard and clock drive it and tests can script
// them.
#pragma once

#include <cstdint>
#include <string>

class sysCanvas;

class LineEditorInput {
public:
    virtual ~LineEditorInput() = default;
    virtual uint32_t now() = 0;                      // milliseconds
    virtual bool pump() = 0;                         // false when the program must stop
    virtual void wait() = 0;                         // 20 ms, pumping events
    virtual int32_t nextKey() = 0;                   // the next queued key press, or 0
    virtual int32_t character(int32_t key) = 0;      // what the key types now, or 0
    virtual bool held(int32_t key) = 0;
};

// Edits a line on the front buffer's console line, at the console cursor, with the
// module's font and colours, until Enter (or the end of the program, which gives an
// empty text). The line is left showing the final text without the cursor, and the
// console cursor moves to the start of the next line. Without a scratch canvas nothing
// is edited: the text is empty and the cursor stays.
std::string editConsoleLine(sysCanvas& front, LineEditorInput& input);
