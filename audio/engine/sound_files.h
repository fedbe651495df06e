// Opening sound files by name: raw files (".raw", any letter case) are signed 8-bit
// mono at 44,100 Hz, read directly; every other file is decoded by content.
#pragma once
#include <memory>
#include <string>

#include "audio/engine/sample.h"
#include "platform/pcm_decoder.h"

constexpr int kRawRate = 44100;

std::unique_ptr<PcmDecoder> openSoundDecoder(const std::string& path);

// The whole file decoded into a sample; null when it cannot be opened or holds no
// frames.
std::unique_ptr<Sample> decodeSample(const std::string& path);
