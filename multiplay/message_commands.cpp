// Messages: SendNetMsg puts the 9-byte header (sender, addressee, type byte) before the
// text; RecvNetMsg turns the session's queue into the current message, reporting joins,
// departures, host migration and the loss of the session as the reserved types.
#include <cstring>

#include "basic/ks_str.h"
#include "multiplay/multiplay_state.h"

namespace {

MultiplayState& mp = multiplayState;

enum ReservedType : int32_t { PlayerJoined = 100, PlayerLeft = 101, BecameHost = 102, SessionLost = 200 };

void putWord(uint8_t* at, uint32_t v) {
  at[0] = uint8_t(v);
  at[1] = uint8_t(v >> 8);
  at[2] = uint8_t(v >> 16);
  at[3] = uint8_t(v >> 24);
}

uint32_t getWord(const uint8_t* at) {
  return uint32_t(at[0]) | uint32_t(at[1]) << 8 | uint32_t(at[2]) << 16 | uint32_t(at[3]) << 24;
}

// A program message from another machine becomes the current message; one from a player
// of this machine, one shorter than the header, and one whose header disagrees with the
// session about its sender or addressee are dropped.
void takeProgramMessage(const SessionReceived& r) {
  const uint8_t* bytes = mp.receiveBuffer.data();
  if (r.size < kMessageHeaderSize) {
    return;
  }
  const uint32_t from = getWord(bytes);
  const uint32_t to = getWord(bytes + 4);
  if (from != r.from || to != r.to) {
    return;
  }
  const PlayerRecord* sender = findPlayer(from);
  if (sender && sender->remote == 0) {
    return;
  }
  mp.msgData.assign(reinterpret_cast<const char*>(bytes + kMessageHeaderSize), r.size - kMessageHeaderSize);
  mp.msgFrom = int32_t(from);
  mp.msgTo = int32_t(to);
  mp.msgType = int8_t(bytes[8]);
}

void takeNotice(const SessionReceived& r) {
  switch (r.notice) {
    case SessionNotice::PlayerCreated:
      if (!findPlayer(r.player)) {
        const PlayerRecord record{r.player, r.playerName, 1};
        mp.players.push_back(record);
        mp.pendingJoins.push_back(record);
      }
      break;
    case SessionNotice::PlayerDestroyed:
      if (findPlayer(r.player)) {
        forgetPlayer(r.player);
        mp.msgFrom = int32_t(r.player);
        mp.msgType = PlayerLeft;
      }
      break;
    case SessionNotice::SessionLost:
      mp.msgType = SessionLost;
      break;
    case SessionNotice::HostMigrated:
      if (!mp.host) {
        mp.host = true;
        mp.msgType = BecameHost;
      }
      break;
    default:
      break;
  }
}

}  // namespace

namespace multiplaycmd {

int32_t sendNetMsg(int32_t type, ksStr* msg, int32_t fromPlayer, int32_t toPlayer, int32_t reliable) {
  const std::string text = ksStrTake(msg);
  requireSession();
  const size_t needed = text.size() + kMessageHeaderSize;
  if (mp.sendBuffer.size() < needed) {
    mp.sendBuffer.assign(needed + needed / 2, 0);
  }
  uint8_t* out = mp.sendBuffer.data();
  putWord(out, uint32_t(fromPlayer));
  putWord(out + 4, uint32_t(toPlayer));
  out[8] = uint8_t(type);
  std::memcpy(out + kMessageHeaderSize, text.data(), text.size());
  return mp.session->send(uint32_t(fromPlayer), uint32_t(toPlayer), reliable != 0, out, needed) ? 1 : 0;
}

int32_t recvNetMsg() {
  requireSession();
  mp.msgType = 0;
  mp.msgData.clear();
  mp.msgFrom = -1;
  mp.msgTo = 0;
  for (;;) {
    if (mp.msgType != 0) {
      return 1;
    }
    if (!mp.pendingJoins.empty()) {
      mp.msgFrom = int32_t(mp.pendingJoins.front().id);
      mp.pendingJoins.erase(mp.pendingJoins.begin());
      mp.msgType = PlayerJoined;
      return 1;
    }
    SessionReceived r;
    ReceiveStatus status = mp.session->receive(mp.receiveBuffer.data(), mp.receiveBuffer.size(), r);
    if (status == ReceiveStatus::BufferTooSmall) {
      mp.receiveBuffer.assign(r.size + r.size / 2, 0);
      status = mp.session->receive(mp.receiveBuffer.data(), mp.receiveBuffer.size(), r);
    }
    if (status != ReceiveStatus::Message) {
      return 0;
    }
    if (r.notice == SessionNotice::None) {
      takeProgramMessage(r);
    } else {
      takeNotice(r);
    }
  }
}

int32_t netMsgType() { return mp.msgType; }
int32_t netMsgFrom() { return mp.msgFrom; }
int32_t netMsgTo() { return mp.msgTo; }
ksStr* netMsgData() { return ksStrNew(std::string_view(mp.msgData)); }

}  // namespace multiplaycmd
