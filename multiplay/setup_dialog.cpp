// The set-up dialog's behaviour: the connection drop-down, the games list refreshed every
// second, the name field, the two buttons, keyboard and mouse, and its message boxes.
#include "multiplay/setup_dialog.h"

#include <algorithm>

#include "graphics/canvas.h"
#include "graphics/sys_font.h"
#include "host/sys_runtime.h"
#include "input/us_layout.h"
#include "platform/clock.h"
#include "platform/display.h"
#include "platform/message_box.h"
#include "platform/window.h"

namespace {

std::function<void(const SetupDialogView&)> testHook;

const char* const kTitle = "Start Multiplayer Game";
const char* const kDirectPlayError = "DirectPlay Error";
const char* const kDirPlayError = "DirPlay Error";
const char* const kNoConnection = "<no connection>";
const char* const kNoGames = "<no games found>";
constexpr int32_t kFontHeight = 13;  // an 8-point face at 96 dots per inch
constexpr uint32_t kRefreshMs = 1000;
constexpr uint32_t kFirstAnswersMs = 300;
constexpr uint32_t kDoubleClickMs = 500;
constexpr size_t kMaxNameLength = 259;

enum Key : int {
  Escape = 1,
  Backspace = 14,
  Tab = 15,
  Enter = 28,
  LeftCtrl = 29,
  LeftShift = 42,
  RightShift = 54,
  Space = 57,
  KeypadEnter = 156,
  RightCtrl = 157,
  Home = 199,
  Up = 200,
  Left = 203,
  Right = 205,
  End = 207,
  Down = 208,
  Delete = 211,
};

struct Connection {
  std::string name;
  QueryTarget target = QueryTarget::LocalNetwork;
};

void warn(const std::string& text, const std::string& caption, bool topmost = false) {
  MessageBoxRequest box;
  box.caption = caption;
  box.text = text;
  box.warningIcon = true;
  box.topmost = topmost;
  showMessageBox(box);
}

class SetupDialog {
 public:
  SetupDialogResult run() {
    std::vector<std::string> addedFiles;
    const SurfaceFormat format = desktopSurfaceFormat();
    font_ = sysFont::load("MS Sans Serif", kFontHeight, 0, format, 640, nullptr, addedFiles);
    if (!font_) {
      return SetupDialogResult{};
    }
    geometry_ = layoutDialog(averageCharWidth(*font_), font_->height());
    PlatformWindow window(kTitle, false);
    std::unique_ptr<PlatformDisplay> display =
        PlatformDisplay::openWindow(window, geometry_.width, geometry_.height, false, format);
    canvas_ = sysCanvas::create(geometry_.width, geometry_.height, CanvasSystemMemory, format, nullptr, nullptr);
    if (!display || !canvas_) {
      return SetupDialogResult{};
    }
    windowId_ = window.id();
    open();
    dirty_ = true;
    while (!done_) {
      HostEvent event;
      while (!done_ && pollHostEvent(event)) {
        handle(event);
      }
      if (!done_ && timerRunning_ && monotonicMillis() - lastTick_ >= kRefreshMs) {
        lastTick_ = monotonicMillis();
        if (!refreshGames(false)) {
          reset();
        }
        dirty_ = true;
      }
      if (!done_ && !hostState.running.load()) {
        cancel();
      }
      if (dirty_ && !done_) {
        draw();
        display->present(canvas_->surface(), false);
        dirty_ = false;
      }
      if (testHook && !done_) {
        testHook(view());
      }
      if (!done_) {
        sleepMillis(10);
      }
    }
    canvas_.reset();
    display.reset();
    font_.reset();
    sysFont::forgetFontFiles(addedFiles);
    if (closeForProgram_) {
      injectHostEvent(*closeForProgram_);  // the program's window was closed meanwhile
    }
    return std::move(result_);
  }

 private:
  // Lists the connections that can be opened here, then resets.
  void open() {
    connections_.push_back(Connection{kNoConnection, QueryTarget::LocalNetwork});
    if (!startNetworking()) {
      warn("Error opening DirectPlay", kDirectPlayError);
    } else {
      const Connection candidates[] = {
          {"Local network (UDP broadcast)", QueryTarget::LocalNetwork},
          {"This computer (loopback)", QueryTarget::ThisComputer},
      };
      for (const Connection& c : candidates) {
        if (SessionQuery::start(c.target)) {
          connections_.push_back(c);
        }
      }
      if (connections_.size() == 1) {
        warn("Failed to enumerate connections", kDirectPlayError, true);
      }
    }
    reset();
  }

  void reset() {
    query_.reset();
    timerRunning_ = false;
    connection_ = 0;
    dropOpen_ = false;
    gamesEnabled_ = false;
    createEnabled_ = false;
    nameEnabled_ = false;
    name_.clear();
    caret_ = 0;
    games_.clear();
    sessions_.clear();
    selected_ = -1;
    top_ = 0;
    if (focus_ != DialogFocus::Cancel) {
      focus_ = DialogFocus::Connection;
    }
    dirty_ = true;
  }

  void selectConnection(int32_t index) {
    if (index <= 0 || index >= int32_t(connections_.size())) {
      reset();
      return;
    }
    query_.reset();
    query_ = SessionQuery::start(connections_[size_t(index)].target);
    if (!query_) {
      warn("Unable to open " + connections_[size_t(index)].name, kDirPlayError);
      reset();
      return;
    }
    connection_ = index;
    query_->send();
    if (refreshGames(true)) {
      nameEnabled_ = true;
      createEnabled_ = true;
    } else {
      reset();
    }
    dirty_ = true;
  }

  // Shows the sessions that answered since the last refresh and asks again. The selected
  // game stays selected while it is listed.
  bool refreshGames(bool first) {
    if (!query_) {
      warn("Unable to enumerate sessions", kDirPlayError);
      return false;
    }
    const InstanceId* keep = selected_ >= 0 && size_t(selected_) < sessions_.size() ? &sessions_[size_t(selected_)].instance : nullptr;
    const InstanceId kept = keep ? *keep : InstanceId{};
    if (first) {
      const uint32_t start = monotonicMillis();
      while (monotonicMillis() - start < kFirstAnswersMs) {
        query_->wait(20);
        query_->collect(round_);
      }
    }
    query_->collect(round_);
    sessions_ = std::move(round_);
    round_.clear();
    query_->send();
    if (!timerRunning_) {
      timerRunning_ = true;
      lastTick_ = monotonicMillis();
    }
    games_.clear();
    gamesEnabled_ = true;
    selected_ = -1;
    for (size_t i = 0; i < sessions_.size(); ++i) {
      games_.push_back(sessions_[i].name);
      if (keep && sessions_[i].instance == kept) {
        selected_ = int32_t(i);
      }
    }
    if (games_.empty()) {
      games_.push_back(kNoGames);
      gamesEnabled_ = false;
      if (focus_ == DialogFocus::Games) {
        focus_ = DialogFocus::Connection;
      }
    }
    top_ = std::min(top_, std::max<int32_t>(0, int32_t(games_.size()) - 1));
    dirty_ = true;
    return true;
  }

  void create() {
    if (!createEnabled_) {
      return;
    }
    if (name_.empty()) {
      MessageBoxRequest box;
      box.caption = "DirectPlay Request";
      box.text = "Please enter a name for the new game";
      box.topmost = true;
      showMessageBox(box);
      return;
    }
    std::unique_ptr<NetSession> session = NetSession::host(name_);
    if (!session) {
      warn("Unable to create new game", kDirPlayError);
      return;
    }
    finish(2, std::move(session));
  }

  void join() {
    if (!gamesEnabled_ || selected_ < 0 || size_t(selected_) >= sessions_.size()) {
      return;
    }
    std::unique_ptr<NetSession> session = NetSession::join(sessions_[size_t(selected_)]);
    if (!session) {
      warn("Unable to join game", kDirPlayError);
      return;
    }
    finish(1, std::move(session));
  }

  void cancel() { finish(0, nullptr); }

  void finish(int32_t code, std::unique_ptr<NetSession> session) {
    timerRunning_ = false;
    query_.reset();
    result_.code = code;
    result_.session = std::move(session);
    done_ = true;
  }

  bool enabled(DialogFocus f) const {
    switch (f) {
      case DialogFocus::Games: return gamesEnabled_;
      case DialogFocus::Name: return nameEnabled_;
      case DialogFocus::Create: return createEnabled_;
      default: return true;
    }
  }

  void moveFocus(bool backwards) {
    int32_t f = int32_t(focus_);
    for (int i = 0; i < 5; ++i) {
      f = (f + (backwards ? 4 : 1)) % 5;
      if (enabled(DialogFocus(f))) {
        break;
      }
    }
    focus_ = DialogFocus(f);
    dropOpen_ = false;
  }

  void selectGame(int32_t index) {
    if (!gamesEnabled_ || games_.empty()) {
      return;
    }
    selected_ = std::clamp<int32_t>(index, 0, int32_t(games_.size()) - 1);
    const int32_t visible = std::max<int32_t>(1, (geometry_.games.h - 4) / geometry_.rowHeight);
    if (selected_ < top_) {
      top_ = selected_;
    } else if (selected_ >= top_ + visible) {
      top_ = selected_ - visible + 1;
    }
  }

  bool forUs(const HostEvent& e) const { return e.window == 0 || e.window == windowId_; }

  void handle(const HostEvent& e) {
    dirty_ = true;
    switch (e.kind) {
      case HostEventKind::Close:
        if (!forUs(e)) {
          closeForProgram_ = std::make_unique<HostEvent>(e);
        }
        cancel();
        break;
      case HostEventKind::End:
        cancel();
        break;
      case HostEventKind::KeyDown:
        if (forUs(e)) {
          keyDown(e.code);
        }
        break;
      case HostEventKind::KeyUp:
        if (forUs(e)) {
          modifier(e.code, false);
        }
        break;
      case HostEventKind::MouseDown:
        if (forUs(e) && e.button == 1) {
          mouseDown(e.x, e.y);
        }
        break;
      case HostEventKind::MouseUp:
        if (forUs(e) && e.button == 1) {
          mouseUp(e.x, e.y);
        }
        break;
      case HostEventKind::MouseWheel:
        if (forUs(e) && gamesEnabled_) {
          top_ = std::clamp<int32_t>(top_ - e.wheel / 120, 0, std::max<int32_t>(0, int32_t(games_.size()) - 1));
        }
        break;
      default:
        break;
    }
  }

  bool modifier(int code, bool down) {
    if (code == LeftShift || code == RightShift) {
      shift_ = down;
      return true;
    }
    if (code == LeftCtrl || code == RightCtrl) {
      ctrl_ = down;
      return true;
    }
    return false;
  }

  void keyDown(int code) {
    if (modifier(code, true)) {
      return;
    }
    if (code == Escape) {
      if (dropOpen_) {
        dropOpen_ = false;
      } else {
        cancel();
      }
      return;
    }
    if (code == Tab) {
      moveFocus(shift_);
      return;
    }
    const bool enter = code == Enter || code == KeypadEnter;
    if (dropOpen_) {
      if (code == Up || code == Down) {
        dropHighlight_ = std::clamp<int32_t>(dropHighlight_ + (code == Up ? -1 : 1), 0, int32_t(connections_.size()) - 1);
      } else if (enter) {
        dropOpen_ = false;
        if (dropHighlight_ != connection_) {
          selectConnection(dropHighlight_);
        }
      }
      return;
    }
    switch (focus_) {
      case DialogFocus::Connection:
        if (code == Up || code == Down) {
          const int32_t next = std::clamp<int32_t>(connection_ + (code == Up ? -1 : 1), 0, int32_t(connections_.size()) - 1);
          if (next != connection_) {
            selectConnection(next);
          }
        } else if (enter || code == Space) {
          dropOpen_ = true;
          dropHighlight_ = connection_;
        }
        break;
      case DialogFocus::Games:
        if (code == Up || code == Down) {
          selectGame(selected_ < 0 ? 0 : selected_ + (code == Up ? -1 : 1));
        } else if (code == Home || code == End) {
          selectGame(code == Home ? 0 : int32_t(games_.size()) - 1);
        } else if (enter) {
          join();
        }
        break;
      case DialogFocus::Name:
        if (enter) {
          create();
        } else {
          editKey(code);
        }
        break;
      case DialogFocus::Create:
        if (enter || code == Space) {
          create();
        }
        break;
      case DialogFocus::Cancel:
        if (enter || code == Space) {
          cancel();
        }
        break;
    }
  }

  void editKey(int code) {
    switch (code) {
      case Backspace:
        if (caret_ > 0) {
          name_.erase(--caret_, 1);
        }
        return;
      case Delete:
        if (caret_ < name_.size()) {
          name_.erase(caret_, 1);
        }
        return;
      case Left:
        caret_ -= caret_ > 0 ? 1 : 0;
        return;
      case Right:
        caret_ += caret_ < name_.size() ? 1 : 0;
        return;
      case Home:
        caret_ = 0;
        return;
      case End:
        caret_ = name_.size();
        return;
      default:
        break;
    }
    const int32_t c = usLayoutCharacter(code, KeyModifiers{shift_, ctrl_, false});
    if (c >= 32 && c != 127 && name_.size() < kMaxNameLength) {
      name_.insert(caret_++, 1, char(c));
    }
  }

  void mouseDown(int32_t x, int32_t y) {
    const DialogGeometry& g = geometry_;
    if (dropOpen_) {
      dropOpen_ = false;
      for (int32_t i = 0; i < int32_t(connections_.size()); ++i) {
        if (g.connectionRow(i).contains(x, y)) {
          if (i != connection_) {
            selectConnection(i);
          }
          return;
        }
      }
      return;
    }
    if (g.connection.contains(x, y)) {
      focus_ = DialogFocus::Connection;
      dropOpen_ = true;
      dropHighlight_ = connection_;
    } else if (g.games.contains(x, y) && gamesEnabled_) {
      focus_ = DialogFocus::Games;
      const int32_t index = top_ + (y - g.games.y - 2) / g.rowHeight;
      if (index >= 0 && index < int32_t(games_.size())) {
        const uint32_t now = monotonicMillis();
        const bool twice = index == lastClickIndex_ && now - lastClickTime_ <= kDoubleClickMs;
        selectGame(index);
        lastClickIndex_ = twice ? -1 : index;
        lastClickTime_ = now;
        if (twice) {
          join();
        }
      }
    } else if (g.name.contains(x, y) && nameEnabled_) {
      focus_ = DialogFocus::Name;
      caret_ = name_.size();
    } else if (g.create.contains(x, y) && createEnabled_) {
      focus_ = DialogFocus::Create;
      pressed_ = DialogFocus::Create;
    } else if (g.cancel.contains(x, y)) {
      focus_ = DialogFocus::Cancel;
      pressed_ = DialogFocus::Cancel;
    }
  }

  void mouseUp(int32_t x, int32_t y) {
    const DialogFocus was = pressed_;
    pressed_ = DialogFocus::Connection;  // none pressed
    if (was == DialogFocus::Create && geometry_.create.contains(x, y)) {
      create();
    } else if (was == DialogFocus::Cancel && geometry_.cancel.contains(x, y)) {
      cancel();
    }
  }

  std::vector<std::string> connectionNames() const {
    std::vector<std::string> names;
    for (const Connection& c : connections_) {
      names.push_back(c.name);
    }
    return names;
  }

  void draw() {
    const DialogGeometry& g = geometry_;
    DialogPainter paint(*canvas_, *font_);
    paint.face(g.width, g.height);
    paint.label(g.connectionLabel, "Connection");
    paint.dropDown(g.connection, connections_[size_t(connection_)].name, focus_ == DialogFocus::Connection);
    paint.label(g.gamesLabel, "Games in progress");
    paint.listBox(g, games_, selected_, top_, gamesEnabled_, focus_ == DialogFocus::Games);
    paint.label(g.nameLabel, "Name for new game");
    paint.editField(g.name, name_, caret_, nameEnabled_, focus_ == DialogFocus::Name);
    paint.button(g.create, "Create new game", createEnabled_, focus_ == DialogFocus::Create,
                 pressed_ == DialogFocus::Create);
    paint.button(g.cancel, "Cancel", true, focus_ == DialogFocus::Cancel, pressed_ == DialogFocus::Cancel);
    if (dropOpen_) {
      paint.dropDownList(g, connectionNames(), dropHighlight_);
    }
  }

  SetupDialogView view() const {
    SetupDialogView v;
    v.geometry = geometry_;
    v.windowId = windowId_;
    v.connections = connectionNames();
    v.connection = connection_;
    v.dropDownOpen = dropOpen_;
    v.games = games_;
    v.gamesEnabled = gamesEnabled_;
    v.gameSelected = selected_;
    v.name = name_;
    v.nameEnabled = nameEnabled_;
    v.createEnabled = createEnabled_;
    v.focus = focus_;
    return v;
  }

  std::unique_ptr<sysFont> font_;
  std::unique_ptr<sysCanvas> canvas_;
  DialogGeometry geometry_;
  unsigned windowId_ = 0;
  std::vector<Connection> connections_;
  int32_t connection_ = 0;
  bool dropOpen_ = false;
  int32_t dropHighlight_ = 0;
  std::unique_ptr<SessionQuery> query_;  // the open connection
  std::vector<SessionListing> round_;     // answers since the last refresh
  std::vector<SessionListing> sessions_;  // the listed sessions
  std::vector<std::string> games_;
  bool gamesEnabled_ = false;
  int32_t selected_ = -1;
  int32_t top_ = 0;
  std::string name_;
  size_t caret_ = 0;
  bool nameEnabled_ = false;
  bool createEnabled_ = false;
  DialogFocus focus_ = DialogFocus::Connection;
  DialogFocus pressed_ = DialogFocus::Connection;
  bool timerRunning_ = false;
  uint32_t lastTick_ = 0;
  int32_t lastClickIndex_ = -1;
  uint32_t lastClickTime_ = 0;
  bool shift_ = false;
  bool ctrl_ = false;
  bool dirty_ = false;
  bool done_ = false;
  std::unique_ptr<HostEvent> closeForProgram_;
  SetupDialogResult result_;
};

}  // namespace

SetupDialogResult runSetupDialog() { return SetupDialog().run(); }

void setSetupDialogTestHook(std::function<void(const SetupDialogView&)> hook) { testHook = std::move(hook); }
