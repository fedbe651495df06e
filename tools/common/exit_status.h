// The exit statuses of ksrun and ksbind (documented in README.md, "Exit statuses").
#pragma once

namespace exit_status {

constexpr int kOk = 0;
constexpr int kRuntimeError = 1;  // ksrun: the program stopped on a runtime error
constexpr int kCannotWrite = 1;   // ksbind: the game, ksrun: the screenshot could not be written
constexpr int kUsage = 2;
constexpr int kUnreadable = 3;    // the module file cannot be read
constexpr int kMalformed = 4;     // the file is not a module image
constexpr int kLinkFailure = 5;   // a symbol the module calls is missing, or no code memory
constexpr int kStartupError = 6;  // the runtime could not be loaded or the run could not start
// ksrun ended by a signal: 128 + the signal's number (130 for SIGINT, 143 for SIGTERM).
constexpr int kSignalBase = 128;

}  // namespace exit_status
