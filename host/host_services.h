// What the host window needs of the managers that other modules open: the display
// (presentation, surface backup) and the input devices (fed from window events); and
// what the display needs of the audio manager (a movie's sound track). The managers
// implement these; the host sees nothing else of them.
#pragma once

#include <cstdint>
#include <string>

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
  // A movie's sound track: the file's audio streamed from its start through the sound
  // engine. A track number (never 0), or 0 when the file has no sound that plays. The
  // manager closes the tracks still open when it closes; unknown numbers are ignored.
  virtual uint32_t playSoundTrack(const std::string& path) = 0;
  virtual bool soundTrackPlaying(uint32_t track) = 0;
  virtual void closeSoundTrack(uint32_t track) = 0;
};

class FileSystemHost {
 public:
  virtual ~FileSystemHost() = default;
};
