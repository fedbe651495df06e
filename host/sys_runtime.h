// sysRuntime: the host-side root of a run. Owns the window, pumps its events, turns
// activation and host requests into pause and resume, relays debugger notifications,
// and carries the small services the core commands need.
#pragma once
#include <atomic>
#include <memory>
#include <mutex>
#include <set>
#include <string>

#include "host/host_services.h"
#include "host/library_cache.h"
#include "platform/window.h"

class Debugger;
class sysTimer;

class sysRuntime {
 public:
  // Null when a sysRuntime already exists.
  static sysRuntime* create(void* instance, const std::string& args, Debugger* debugger,
                            int windowFlags);
  static void destroy(sysRuntime* runtime);
  ~sysRuntime();

  bool pollEvents();
  bool delay(int milliseconds);
  void stopProgram();
  void pauseProgram();
  void resumeProgram();
  void reportEnd(const char* text);
  void reportError(const char* text);

  void debugStatement(int a, int b);
  void debugEnter(int a, int b, int c);
  void debugLeave();
  void debugLog(const char* text);

  void setTitle(const std::string& title, const std::string& prompt);
  std::string commandLine() const { return args_; }
  bool execFile(const std::string& command);
  void setPointerVisible(bool visible);
  void movePointer(int x, int y);
  void paint();

  sysTimer* createTimer(int hertz);
  int waitTimer(sysTimer* timer);
  void freeTimer(sysTimer* timer);
  std::string systemProperty(const std::string& name) const;
  int callLibrary(const std::string& library, const std::string& function, void* in,
                  int inSize, void* out, int outSize);

  PlatformWindow& window() { return *window_; }
  unsigned pumpCount() const { return pumpCount_; }  // pollEvents calls so far
  const std::string& title() const { return title_; }
  const std::string& closePrompt() const { return closePrompt_; }
  bool pointerVisible() const { return pointerVisible_; }

  // Managers opened by their modules; null until then. The host closes whatever is
  // still open when the run ends.
  AudioHost* audio = nullptr;
  InputHost* input = nullptr;
  GraphicsHost* graphics = nullptr;
  FileSystemHost* fileSystem = nullptr;
  void* instance = nullptr;

 private:
  sysRuntime(void* instance, const std::string& args, int windowFlags);
  void dispatch(const HostEvent& event);
  void dispatchFullScreen(const HostEvent& event);
  void dispatchWindowed(const HostEvent& event);
  void handleClose();
  void suspend();
  void resume();

  std::unique_ptr<PlatformWindow> window_;
  std::string args_;
  bool pointerVisible_ = true;
  unsigned pumpCount_ = 0;
  std::string title_;
  std::string closePrompt_;
  std::set<sysTimer*> timers_;
  LibraryCache libraries_;
};

// Process-wide state of the one run. The debugger pointer and the running flag may
// be written by another thread (requestEnd), hence atomic words. The lifecycle lock
// orders the host's requests with the start and the end of a run.
struct HostState {
  std::mutex lifecycle;
  std::atomic<sysRuntime*> current{nullptr};
  std::atomic<Debugger*> debugger{nullptr};
  std::atomic<bool> running{false};
  bool paused = false;
  bool busy = false;
  DisplayKind displayKind = DisplayKind::None;
};
extern HostState hostState;
