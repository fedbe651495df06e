// What the host window needs of the managers that other modules open: the display
// (presentation, surface backup) and the input devices (fed from window events).
// The managers implement these; the host sees nothing else of them.
#pragma once

enum class DisplayKind { None, ScaledWindow, Window, FullScreen };

class GraphicsHost {
 public:
  virtual ~GraphicsHost() = default;
  virtual void paint() = 0;             // present the front canvas into the client area
  virtual void backupSurfaces() = 0;    // full-screen suspend
  virtual void restoreSurfaces() = 0;   // full-screen resume
  virtual int width() const = 0;        // graphics size
  virtual int height() const = 0;
};

class InputHost {
 public:
  virtual ~InputHost() = default;
  virtual void keyChanged(int code, bool pressed) = 0;
  virtual void mouseMoved(int x, int y) = 0;
  virtual void mouseButtonChanged(int button, bool pressed) = 0;
  virtual void mouseWheel(int delta) = 0;
  virtual void acquireDevices() = 0;
  virtual void releaseDevices() = 0;
};

class AudioHost {
 public:
  virtual ~AudioHost() = default;
};

class FileSystemHost {
 public:
  virtual ~FileSystemHost() = default;
};
