// The ksStream base: construction and destruction keep the registry of live streams
// exact, so a handle can be checked against it.
#include "streams/stream.h"

#include <set>

#include "basic/ks_error.h"

namespace {

// Every stream of every kind that exists now.
std::set<const ksStream*>& liveStreams() {
  static std::set<const ksStream*> streams;
  return streams;
}

const char* const kNoStream = "Stream does not exist";

}  // namespace

ksStream::ksStream() { liveStreams().insert(this); }

ksStream::~ksStream() { liveStreams().erase(this); }

bool isLiveStream(const ksStream* stream) { return liveStreams().count(stream) != 0; }

void checkStream(const ksStream* stream) {
  if (!isLiveStream(stream)) {
    runtimeError(kNoStream);
  }
}
