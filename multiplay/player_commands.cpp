// Players: CreateNetPlayer, DeleteNetPlayer, NetPlayerName, NetPlayerLocal.
#include "basic/ks_str.h"
#include "multiplay/multiplay_state.h"

namespace {

MultiplayState& mp = multiplayState;

}  // namespace

namespace multiplaycmd {

int32_t createNetPlayer(ksStr* name) {
  const std::string text = ksStrTake(name);
  requireSession();
  const uint32_t id = mp.session->createPlayer(text);
  if (id == 0) {
    return 0;
  }
  mp.players.push_back(PlayerRecord{id, text, 0});
  if (mp.players.size() == 1) {
    learnSessionPlayers();
  }
  return int32_t(id);
}

void deleteNetPlayer(int32_t player) {
  requireSession();
  if (findPlayer(uint32_t(player))) {
    mp.session->destroyPlayer(uint32_t(player));
    forgetPlayer(uint32_t(player));
  }
}

ksStr* netPlayerName(int32_t player) {
  if (player == 0) {
    return ksStrNew("<all>");
  }
  const PlayerRecord* record = findPlayer(uint32_t(player));
  return ksStrNew(record ? std::string_view(record->name) : std::string_view("<unknown>"));
}

int32_t netPlayerLocal(int32_t player) {
  const PlayerRecord* record = findPlayer(uint32_t(player));
  return record && record->remote == 0 ? 1 : 0;
}

}  // namespace multiplaycmd
