// The stream commands: byte, short, int, float, string and line encodings over any
// ksStream, and CopyStream. The module owns no streams; their kinds' modules do.
#include <algorithm>
#include <cstring>
#include <memory>

#include "basic/ks_error.h"
#include "basic/ks_str.h"
#include "runtime/entry.h"
#include "runtime/modules.h"
#include "streams/stream.h"
#include "streams/stream_commands.h"

namespace {

const char* const kIllegalBufferSize = "Illegal buffer size";
constexpr int32_t kMaxCopyBuffer = 0x100000;

// Numeric reads start from a zero word, so bytes that do not arrive read as zero. The
// word has the read's own width: a narrower store followed by a wider load of the same
// word would stall the processor on every byte read.
template <typename Word>
Word readWord(int32_t handle) {
  Word word = 0;
  streamFromHandle(handle)->read(&word, sizeof word);
  return word;
}

void writeWord(int32_t handle, uint32_t word, int width) {
  streamFromHandle(handle)->write(&word, width);
}

}  // namespace

namespace streamcmd {

int32_t eof(int32_t handle) { return streamFromHandle(handle)->eof(); }

int32_t readAvail(int32_t handle) { return streamFromHandle(handle)->avail(); }

int32_t readByte(int32_t handle) { return static_cast<int32_t>(readWord<uint8_t>(handle)); }

int32_t readShort(int32_t handle) { return static_cast<int32_t>(readWord<uint16_t>(handle)); }

int32_t readInt(int32_t handle) { return static_cast<int32_t>(readWord<uint32_t>(handle)); }

float readFloat(int32_t handle) {
  const uint32_t word = readWord<uint32_t>(handle);
  float value;
  std::memcpy(&value, &word, sizeof value);
  return value;
}

// A prefix that does not arrive whole and a negative length give the empty string
// without reading the body. The body is read in
// pieces as it arrives, so memory follows the bytes the stream really delivers: a
// corrupt prefix announcing a gigabyte costs nothing, and a body cut short ends the
// text where its bytes stop.
ksStr* readString(int32_t handle) {
  ksStream* const stream = streamFromHandle(handle);
  ksStr* const result = ksStrNew();
  ksStrValue& text = result->value;
  int32_t length = 0;
  if (stream->read(&length, 4) != 4 || length <= 0) {
    return result;
  }
  constexpr int32_t kPiece = 1 << 16;
  int32_t done = 0;
  while (done < length) {
    const int32_t want = std::min(kPiece, length - done);
    text.resize(static_cast<size_t>(done + want));
    const int got = stream->read(text.data() + done, want);
    done += got;
    if (got < want) {
      text.resize(static_cast<size_t>(done));
      break;
    }
  }
  return result;
}

// Bytes up to LF, which is consumed and not kept; CR is dropped wherever it stands.
// Bytes the stream already holds are scanned in place; otherwise one read per byte.
ksStr* readLine(int32_t handle) {
  ksStream* const stream = streamFromHandle(handle);
  ksStr* const result = ksStrNew();
  ksStrValue& line = result->value;
  for (;;) {
    const std::string_view held = stream->buffered();
    if (!held.empty()) {
      const size_t end = held.find('\n');
      const std::string_view part = held.substr(0, end);
      for (size_t from = 0; from < part.size();) {
        size_t cr = part.find('\r', from);
        if (cr == std::string_view::npos) {
          cr = part.size();
        }
        line.append(part.substr(from, cr - from));
        from = cr + 1;
      }
      stream->skip(static_cast<int>(end == std::string_view::npos ? held.size() : end + 1));
      if (end != std::string_view::npos) {
        return result;
      }
      continue;
    }
    unsigned char byte;
    if (stream->read(&byte, 1) != 1 || byte == '\n') {
      return result;
    }
    if (byte != '\r') {
      line.push_back(static_cast<char>(byte));
    }
  }
}

void writeByte(int32_t handle, int32_t value) {
  writeWord(handle, static_cast<uint32_t>(value), 1);
}

void writeShort(int32_t handle, int32_t value) {
  writeWord(handle, static_cast<uint32_t>(value), 2);
}

// Also the entry of WriteFloat: the argument word is the float's bit pattern.
void writeInt(int32_t handle, int32_t value) {
  writeWord(handle, static_cast<uint32_t>(value), 4);
}

void writeString(int32_t handle, ksStr* text) {
  ksStream* const stream = streamFromHandle(handle);
  const int32_t length = static_cast<int32_t>(text->value.size());
  stream->write(&length, 4);
  if (length > 0) {
    stream->write(text->value.data(), length);
  }
  ksStrRelease(text);
}

void writeLine(int32_t handle, ksStr* text) {
  ksStream* const stream = streamFromHandle(handle);
  if (!text->value.empty()) {
    stream->write(text->value.data(), static_cast<int>(text->value.size()));
  }
  stream->write("\r\n", 2);
  ksStrRelease(text);
}

// Outside debug mode a buffer size out of range is clamped to 1 ... 1,048,576.
void copyStream(int32_t sourceHandle, int32_t destinationHandle, int32_t bufferSize) {
  ksStream* const source = streamFromHandle(sourceHandle);
  ksStream* const destination = streamFromHandle(destinationHandle);
  if (bufferSize < 1 || bufferSize > kMaxCopyBuffer) {
    if (debugMode) {
      runtimeError(kIllegalBufferSize);
    }
    bufferSize = bufferSize < 1 ? 1 : kMaxCopyBuffer;
  }
  const std::unique_ptr<char[]> buffer(new char[bufferSize]);
  while (source->eof() == 0 && destination->eof() == 0) {
    const int count = source->read(buffer.get(), bufferSize);
    destination->write(buffer.get(), count);
    if (count < bufferSize) {
      break;
    }
  }
}

}  // namespace streamcmd

bool stream_create() { return true; }

void stream_destroy() {}

void stream_link(LinkCallback callback) {
  using namespace streamcmd;
  callback("%Eof%stream", ksEntry<&streamcmd::eof>());
  callback("%ReadAvail%stream", ksEntry<&readAvail>());
  callback("%ReadByte%stream", ksEntry<&readByte>());
  callback("%ReadShort%stream", ksEntry<&readShort>());
  callback("%ReadInt%stream", ksEntry<&readInt>());
  callback("#ReadFloat%stream", ksEntry<&readFloat>());
  callback("$ReadString%stream", ksEntry<&readString>());
  callback("$ReadLine%stream", ksEntry<&readLine>());
  callback("WriteByte%stream%byte", ksEntry<&writeByte>());
  callback("WriteShort%stream%short", ksEntry<&writeShort>());
  callback("WriteInt%stream%int", ksEntry<&writeInt>());
  callback("WriteFloat%stream#float", ksEntry<&writeInt>());
  callback("WriteString%stream$string", ksEntry<&writeString>());
  callback("WriteLine%stream$string", ksEntry<&writeLine>());
  callback("CopyStream%src_stream%dest_stream%buffer_size=16384", ksEntry<&copyStream>());
}
