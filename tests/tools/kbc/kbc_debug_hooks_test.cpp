// A host watching a program built with kbc --debug sees every function entered and left,
// in call order, with the function's name, file and line, and the statements between.
#include <gtest/gtest.h>

#include <dlfcn.h>

#include <string>
#include <vector>

#include "runtime/module_linker.h"
#include "runtime/runtime_interface.h"
#include "tools/kbc/codegen.h"
#include "tools/kbc/parser.h"

namespace {

// The hooks pass the module's own zero-terminated texts as 32-bit addresses.
std::string textAt(int32_t address) {
  return address ? std::string(reinterpret_cast<const char*>(uintptr_t(uint32_t(address)))) : "(null)";
}

class FrameRecorder final : public Debugger {
 public:
  void onResume() override {}
  void onPause() override {}
  void onStatement(int32_t file, int32_t line) override {
    if (!frames.empty() && frames.back().rfind("line", 0) == 0) {
      frames.pop_back();  // only the last statement before a frame change is kept
    }
    frames.push_back("line " + std::to_string(line) + " of " + textAt(file));
  }
  void onEnterFrame(int32_t name, int32_t file, int32_t line) override {
    frames.push_back("enter " + textAt(name) + " " + textAt(file) + ":" + std::to_string(line));
  }
  void onLeaveFrame() override { frames.push_back("leave"); }
  void onEnd(const char* message) override { ended = message ? message : ""; }
  void onRuntimeError(const char* message) override { errors.push_back(message ? message : ""); }
  void onLog(const char* message) override { logs.push_back(message ? message : ""); }
  int32_t queryState() override { return 0; }

  std::vector<std::string> frames, logs, errors;
  std::string ended;
};

std::vector<uint8_t> compileDebug(const std::string& text) {
  SourceSet sources;
  sources.files.push_back({"hooks.kb", text});
  const IncludeLoader refuse = [](const std::string&, SourcePos pos) -> int { fail(pos, "no includes here"); };
  Program program = parseProgram(sources, 0, refuse);
  CompileOptions options;
  options.debug = true;
  return compileProgram(program, sources, options);
}

// The runtime library a host loads, as the host runner does.
Runtime* loadRuntime() {
  void* library = dlopen(KS_BIN_DIR "/libkestrel-runtime.so", RTLD_NOW | RTLD_LOCAL);
  if (!library) {
    ADD_FAILURE() << dlerror();
    return nullptr;
  }
  const auto get = reinterpret_cast<Runtime* (*)()>(dlsym(library, "runtimeGetRuntime"));
  return get ? get() : nullptr;
}

ProgramEntry entry = nullptr;
void runEntry() { entry(); }

TEST(KbcDebugHooks, HostSeesEveryFunctionEnteredAndLeftInOrder) {
  const std::vector<uint8_t> image = compileDebug(
      "Function square%(n%)\n"          // 1
      "  Return n * n\n"                // 2
      "End Function\n"                  // 3
      "Function both%(n%)\n"            // 4
      "  For k = 1 To 2\n"              // 5
      "    If k = 2 Then Return square(n) + k\n"  // 6
      "    square(k)\n"                 // 7
      "  Next\n"                        // 8
      "End Function\n"                  // 9
      "DebugLog \"result \" + both(3)\n");  // 10
  Runtime* runtime = loadRuntime();
  ASSERT_NE(runtime, nullptr);
  runtime->startUp(nullptr);
  const LinkOutcome linked = linkModuleBytes(image.data(), image.size(), buildRuntimeLinkTable(*runtime));
  ASSERT_NE(linked.code, nullptr) << linked.error;
  entry = reinterpret_cast<ProgramEntry>(linked.code);
  FrameRecorder host;
  runtime->execute(runEntry, "", &host, true, 0);
  runtime->shutDown();

  EXPECT_TRUE(host.errors.empty()) << host.errors.front();
  ASSERT_EQ(host.logs, (std::vector<std::string>{"result 11"}));
  // An early Return inside a loop leaves through the same exit as the end of a function.
  EXPECT_EQ(host.frames, (std::vector<std::string>{
                             "line 10 of hooks.kb",
                             "enter both hooks.kb:4",
                             "line 7 of hooks.kb",
                             "enter square hooks.kb:1",
                             "line 2 of hooks.kb",
                             "leave",
                             "line 6 of hooks.kb",
                             "enter square hooks.kb:1",
                             "line 2 of hooks.kb",
                             "leave",
                             "leave",
                         }));
}

}  // namespace
