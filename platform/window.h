// The runtime's one window and its event queue, on SDL. Nothing of SDL shows here:
// the rest of the tree sees PlatformWindow and HostEvent only.
#pragma once
#include <string>

enum class HostEventKind {
  Pause,       // private requests, posted from any thread
  Resume,
  End,
  Paint,       // private paint request or the window was exposed
  Close,       // window close or quit
  KeyDown,     // code = set-1 scan code with bit 7 for extended keys
  KeyUp,
  MouseMove,   // x, y in client coordinates; dx, dy the movement
  MouseDown,   // button 1 left, 2 right, 3 middle
  MouseUp,     // buttonsHeld: bit 0 left, 1 right, 2 middle still down after it
  MouseWheel,  // wheel: 120 units per notch, positive away from the user
  Activate,    // focus gained / restored
  Deactivate,  // focus lost / minimised
  Other,
};

struct HostEvent {
  HostEventKind kind = HostEventKind::Other;
  int code = 0;
  bool repeat = false;
  bool systemKey = false;  // Alt held (the system-key variants of key messages)
  int x = 0;
  int y = 0;
  int dx = 0;
  int dy = 0;
  int button = 0;
  unsigned buttonsHeld = 0;
  int wheel = 0;
  unsigned window = 0;  // the id of the window it happened in (PlatformWindow::id), 0 unknown
};

// Starts SDL's video and event services; falls back to the offscreen driver when no
// display can be opened, so that a program still runs on a headless machine.
bool platformStartVideo();
void platformStopVideo();

class PlatformWindow {
 public:
  // Created hidden at 1 x 1; topmost maps to always-on-top.
  PlatformWindow(const std::string& title, bool topmost);
  ~PlatformWindow();
  PlatformWindow(const PlatformWindow&) = delete;
  PlatformWindow& operator=(const PlatformWindow&) = delete;

  void setTitle(const std::string& title);
  void resize(int width, int height);
  void show();
  void hide();
  bool visible() const;
  std::string title() const;
  void clientSize(int& width, int& height) const;
  // The client area's top-left corner in screen coordinates; move places it there.
  void position(int& x, int& y) const;
  void move(int x, int y);
  // A resizable frame (maximise box, sizing border) or a fixed one (caption, close and
  // minimise); a window without a border has no frame at all.
  void setResizable(bool resizable);
  bool resizable() const;
  void setBordered(bool bordered);
  bool bordered() const;
  // The frame's thickness around the client area; all 0 while the window system has not
  // framed the window (hidden, no window manager, headless).
  void frameSize(int& left, int& top, int& right, int& bottom) const;
  // The index of the video display (display driver) the window is mostly on.
  int displayIndex() const;
  void clientToScreen(int& x, int& y) const;
  void warpPointer(int screenX, int screenY);
  void setCursorVisible(bool visible);
  void captureMouse(bool capture);
  // The pointer's position in client coordinates; false when it is elsewhere.
  bool pointerInClient(int& x, int& y) const;
  unsigned id() const;
  void* nativeHandle() const;  // the SDL_Window, for the display adapter

 private:
  void* window_;
};

// The event queue of the program's thread.
bool pollHostEvent(HostEvent& event);  // false when the queue is empty
void discardHostEvents();
bool waitHostEvent(HostEvent& event);  // blocks until an event arrives
// Thread-safe: Pause, Resume, End and Paint only.
void postHostEvent(HostEventKind kind);

// Test seam: puts an event into the queue as the window system would deliver it.
void injectHostEvent(const HostEvent& event);
