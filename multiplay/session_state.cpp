// The module state and what every command shares: known players, adopting and closing a
// session, and the started check.
#include "basic/ks_error.h"
#include "multiplay/multiplay_state.h"

MultiplayState multiplayState;

namespace {

MultiplayState& mp = multiplayState;
const char* const kNotStarted = "Multiplayer game not started";

}  // namespace

PlayerRecord* findPlayer(uint32_t id) {
  for (PlayerRecord& p : mp.players) {
    if (p.id == id) {
      return &p;
    }
  }
  return nullptr;
}

void forgetPlayer(uint32_t id) {
  std::erase_if(mp.players, [id](const PlayerRecord& p) { return p.id == id; });
  std::erase_if(mp.pendingJoins, [id](const PlayerRecord& p) { return p.id == id; });
}

void forgetAllPlayers() {
  mp.players.clear();
  mp.pendingJoins.clear();
}

void learnSessionPlayers() {
  for (const SessionPlayer& p : mp.session->players()) {
    if (!findPlayer(p.id)) {
      const PlayerRecord record{p.id, p.name, 1};
      mp.players.push_back(record);
      mp.pendingJoins.push_back(record);
    }
  }
}

int32_t adoptSession(std::unique_ptr<NetSession> session, int32_t code) {
  forgetAllPlayers();
  if (code == StartFailed || !session) {
    return StartFailed;
  }
  mp.session = std::move(session);
  learnSessionPlayers();
  mp.host = code == StartCreated;
  return code;
}

void closeSession() { mp.session.reset(); }

void requireSession() {
  if (!mp.session) {
    runtimeError(kNotStarted);
  }
}
