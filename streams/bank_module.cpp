// The bank module: memory banks as handles, their peeks, pokes and copies, transfers
// between banks and streams, and CallDLL through the run's library cache. It owns every
// bank and frees those still live when it is destroyed.
//
// Ranges are checked in every mode: in debug mode a bad one is "Offset out of range";
// otherwise the access is refused (peeks give 0, pokes and copies do nothing, transfers
// move no byte), so no program can read or write outside a bank.
#include <cstring>
#include <memory>
#include <set>
#include <string>

#include "basic/ks_error.h"
#include "basic/ks_str.h"
#include "host/library_cache.h"
#include "host/sys_runtime.h"
#include "runtime/entry.h"
#include "runtime/modules.h"
#include "streams/bank.h"
#include "streams/bank_commands.h"
#include "streams/stream.h"

namespace {

const char* const kNoBank = "ksBank does not exist";
const char* const kOffsetOutOfRange = "Offset out of range";
const char* const kIllegalBankSize = "Illegal bank size";

// Every bank the program holds.
std::set<ksBank*> banks;

// CallDLL's libraries when no sysRuntime exists (tests); a run uses the sysRuntime's.
std::unique_ptr<LibraryCache> ownLibraries;

ksBank* bankFromHandle(int32_t handle) {
  ksBank* const bank = reinterpret_cast<ksBank*>(static_cast<intptr_t>(handle));
  if (__builtin_expect(debugMode, false) && banks.count(bank) == 0) {
    runtimeError(kNoBank);
  }
  return bank;
}

// The bank, or null when width bytes from offset do not fit in it.
inline ksBank* bankRange(int32_t handle, int32_t offset, int32_t width) {
  ksBank* const bank = bankFromHandle(handle);
  if (__builtin_expect(!bankRangeValid(bank, offset, width), false)) {
    if (debugMode) {
      runtimeError(kOffsetOutOfRange);
    }
    return nullptr;
  }
  return bank;
}

template <typename Word>
Word peek(int32_t handle, int32_t offset) {
  Word word = 0;
  if (const ksBank* const bank = bankRange(handle, offset, sizeof(Word))) {
    std::memcpy(&word, bank->data + offset, sizeof word);
  }
  return word;
}

template <typename Word>
void poke(int32_t handle, int32_t offset, Word word) {
  if (ksBank* const bank = bankRange(handle, offset, sizeof(Word))) {
    std::memcpy(bank->data + offset, &word, sizeof word);
  }
}

// A negative size is an error in debug mode; otherwise it is refused.
bool validSize(int32_t size) {
  if (size >= 0) {
    return true;
  }
  if (debugMode) {
    runtimeError(kIllegalBankSize);
  }
  return false;
}

}  // namespace

namespace bankcmd {

int32_t createBank(int32_t size) {
  ksBank* const bank = bankCreate(validSize(size) ? size : 0);
  banks.insert(bank);
  return static_cast<int32_t>(reinterpret_cast<intptr_t>(bank));
}

void freeBank(int32_t handle) {
  ksBank* const bank = reinterpret_cast<ksBank*>(static_cast<intptr_t>(handle));
  if (banks.erase(bank) != 0) {
    bankFree(bank);
  }
}

int32_t bankSize(int32_t handle) { return bankFromHandle(handle)->size; }

void resizeBank(int32_t handle, int32_t size) {
  ksBank* const bank = bankFromHandle(handle);
  if (validSize(size)) {
    bankResize(bank, size);
  }
}

// memmove: overlapping ranges, also within one bank, copy as if through a buffer.
void copyBank(int32_t srcHandle, int32_t srcOffset, int32_t destHandle, int32_t destOffset,
              int32_t count) {
  const ksBank* const source = bankRange(srcHandle, srcOffset, count);
  ksBank* const destination = bankRange(destHandle, destOffset, count);
  if (source && destination && count > 0) {
    std::memmove(destination->data + destOffset, source->data + srcOffset,
                 static_cast<size_t>(count));
  }
}

int32_t peekByte(int32_t bank, int32_t offset) { return peek<uint8_t>(bank, offset); }

int32_t peekShort(int32_t bank, int32_t offset) { return peek<uint16_t>(bank, offset); }

int32_t peekInt(int32_t bank, int32_t offset) { return peek<int32_t>(bank, offset); }

float peekFloat(int32_t bank, int32_t offset) { return peek<float>(bank, offset); }

void pokeByte(int32_t bank, int32_t offset, int32_t value) {
  poke(bank, offset, static_cast<uint8_t>(value));
}

void pokeShort(int32_t bank, int32_t offset, int32_t value) {
  poke(bank, offset, static_cast<uint16_t>(value));
}

void pokeInt(int32_t bank, int32_t offset, int32_t value) { poke(bank, offset, value); }

void pokeFloat(int32_t bank, int32_t offset, float value) { poke(bank, offset, value); }

// The bank's range is checked before the stream.
int32_t readBytes(int32_t bankHandle, int32_t streamHandle, int32_t offset, int32_t count) {
  ksBank* const bank = bankRange(bankHandle, offset, count);
  ksStream* const stream = streamFromHandle(streamHandle);
  if (!bank || count == 0) {
    return 0;
  }
  return stream->read(bank->data + offset, count);
}

int32_t writeBytes(int32_t bankHandle, int32_t streamHandle, int32_t offset, int32_t count) {
  const ksBank* const bank = bankRange(bankHandle, offset, count);
  ksStream* const stream = streamFromHandle(streamHandle);
  if (!bank || count == 0) {
    return 0;
  }
  return stream->write(bank->data + offset, count);
}

// The banks are lent by address, so in and out may be the same bank.
int32_t callDLL(ksStr* dllName, ksStr* funcName, int32_t inHandle, int32_t outHandle) {
  const ksBank* const in = inHandle != 0 ? bankFromHandle(inHandle) : nullptr;
  const ksBank* const out = outHandle != 0 ? bankFromHandle(outHandle) : nullptr;
  const std::string library = ksStrTake(dllName);
  const std::string function = ksStrTake(funcName);
  void* const inData = in ? in->data : nullptr;
  void* const outData = out ? out->data : nullptr;
  const int inSize = in ? in->size : 0;
  const int outSize = out ? out->size : 0;
  if (currentRuntime) {
    return currentRuntime->callLibrary(library, function, inData, inSize, outData, outSize);
  }
  if (!ownLibraries) {
    ownLibraries = std::make_unique<LibraryCache>();
  }
  return ownLibraries->call(library, function, inData, inSize, outData, outSize);
}

}  // namespace bankcmd

bool bank_create() { return true; }

void bank_destroy() {
  while (!banks.empty()) {
    ksBank* const bank = *banks.begin();
    banks.erase(banks.begin());
    bankFree(bank);
  }
  ownLibraries.reset();
}

void bank_link(LinkCallback callback) {
  using namespace bankcmd;
  callback("%CreateBank%size=0", ksEntry<&createBank>());
  callback("FreeBank%bank", ksEntry<&freeBank>());
  callback("%BankSize%bank", ksEntry<&bankSize>());
  callback("ResizeBank%bank%size", ksEntry<&resizeBank>());
  callback("CopyBank%src_bank%src_offset%dest_bank%dest_offset%count", ksEntry<&copyBank>());
  callback("%PeekByte%bank%offset", ksEntry<&peekByte>());
  callback("%PeekShort%bank%offset", ksEntry<&peekShort>());
  callback("%PeekInt%bank%offset", ksEntry<&peekInt>());
  callback("#PeekFloat%bank%offset", ksEntry<&peekFloat>());
  callback("PokeByte%bank%offset%value", ksEntry<&pokeByte>());
  callback("PokeShort%bank%offset%value", ksEntry<&pokeShort>());
  callback("PokeInt%bank%offset%value", ksEntry<&pokeInt>());
  callback("PokeFloat%bank%offset#value", ksEntry<&pokeFloat>());
  callback("%ReadBytes%bank%file%offset%count", ksEntry<&readBytes>());
  callback("%WriteBytes%bank%file%offset%count", ksEntry<&writeBytes>());
  callback("%CallDLL$dll_name$func_name%in_bank=0%out_bank=0", ksEntry<&callDLL>());
}
