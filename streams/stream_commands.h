// The stream commands' handlers, as the stream module registers them. Every one takes
// a handle of any stream kind; string arguments are released, string results are new.
#pragma once
#include <cstdint>

#include "basic/ks_str.h"

namespace streamcmd {

int32_t eof(int32_t stream);
int32_t readAvail(int32_t stream);
int32_t readByte(int32_t stream);
int32_t readShort(int32_t stream);
int32_t readInt(int32_t stream);
float readFloat(int32_t stream);
ksStr* readString(int32_t stream);
ksStr* readLine(int32_t stream);
void writeByte(int32_t stream, int32_t value);
void writeShort(int32_t stream, int32_t value);
void writeInt(int32_t stream, int32_t value);  // also WriteFloat's entry
void writeString(int32_t stream, ksStr* text);
void writeLine(int32_t stream, ksStr* text);
void copyStream(int32_t source, int32_t destination, int32_t bufferSize);

}  // namespace streamcmd
