// The multiplay module's state: the open session, the known players and the joins not yet
// reported, the current message, and the send and receive buffers. Shared by the command
// files of the module; nothing outside the module touches it.
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/net_session.h"

struct ksStr;

struct PlayerRecord {
  uint32_t id = 0;
  std::string name;
  uint8_t remote = 0;  // 0: created here with CreateNetPlayer; 1: learned from the session
};

// How a session was started: the result codes of the dialog, HostNetGame and JoinNetGame.
enum SessionStart : int32_t { StartFailed = 0, StartJoined = 1, StartCreated = 2 };

struct MultiplayState {
  std::unique_ptr<NetSession> session;  // the game counts as started while it is present
  bool host = false;
  std::vector<PlayerRecord> players;       // in order of creation
  std::vector<PlayerRecord> pendingJoins;  // not yet reported as type 100
  int32_t msgType = 0;
  int32_t msgFrom = 0;
  int32_t msgTo = 0;
  std::string msgData;
  std::vector<uint8_t> sendBuffer;
  std::vector<uint8_t> receiveBuffer;
};

extern MultiplayState multiplayState;

constexpr size_t kInitialBufferSize = 1024;
constexpr size_t kMessageHeaderSize = 9;

// The record of a known player, or null.
PlayerRecord* findPlayer(uint32_t id);
void forgetPlayer(uint32_t id);
void forgetAllPlayers();
// Adds every player of the session not yet known, as remote, to the players and the
// pending joins.
void learnSessionPlayers();
// Takes over `session` started with `code`: the players are forgotten, then (unless the
// code is StartFailed) the session's players are learned. Returns the code.
int32_t adoptSession(std::unique_ptr<NetSession> session, int32_t code);
void closeSession();
// Raises "Multiplayer game not started" without a session.
void requireSession();

namespace multiplaycmd {

int32_t startNetGame();
int32_t hostNetGame(ksStr* gameName);
int32_t joinNetGame(ksStr* gameName, ksStr* ipAddress);
void stopNetGame();
int32_t createNetPlayer(ksStr* name);
void deleteNetPlayer(int32_t player);
ksStr* netPlayerName(int32_t player);
int32_t netPlayerLocal(int32_t player);
int32_t sendNetMsg(int32_t type, ksStr* msg, int32_t fromPlayer, int32_t toPlayer, int32_t reliable);
int32_t recvNetMsg();
int32_t netMsgType();
int32_t netMsgFrom();
int32_t netMsgTo();
ksStr* netMsgData();

}  // namespace multiplaycmd
