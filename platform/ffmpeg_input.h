// What every FFmpeg adapter opens files with: the local-file protocol alone, so a
// program's file name can never reach the network or another protocol, and the
// library's log kept quiet (damaged files are answered with 0, not messages). Seen only
// by the adapters in this folder.
#pragma once

#include <string>

extern "C" {
#include <libavformat/avformat.h>
}

// The file opened and its streams probed; null when either fails.
AVFormatContext* openLocalMedia(const std::string& path);
