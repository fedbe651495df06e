// The multiplay module's create, destroy and link routines. The commands are in
// session_commands.cpp, player_commands.cpp and message_commands.cpp; the set-up dialog
// in setup_dialog.cpp.
#include "multiplay/multiplay_state.h"
#include "runtime/entry.h"
#include "runtime/modules.h"

bool multiplay_create() {
  MultiplayState& mp = multiplayState;
  mp = MultiplayState{};
  mp.sendBuffer.assign(kInitialBufferSize, 0);
  mp.receiveBuffer.assign(kInitialBufferSize, 0);
  return true;
}

void multiplay_destroy() {
  closeSession();
  forgetAllPlayers();
  multiplayState = MultiplayState{};
}

void multiplay_link(LinkCallback callback) {
  using namespace multiplaycmd;
  callback("%StartNetGame", ksEntry<&startNetGame>());
  callback("%HostNetGame$game_name", ksEntry<&hostNetGame>());
  callback("%JoinNetGame$game_name$ip_address", ksEntry<&joinNetGame>());
  callback("StopNetGame", ksEntry<&stopNetGame>());
  callback("%CreateNetPlayer$name", ksEntry<&createNetPlayer>());
  callback("DeleteNetPlayer%player", ksEntry<&deleteNetPlayer>());
  callback("$NetPlayerName%player", ksEntry<&netPlayerName>());
  callback("%NetPlayerLocal%player", ksEntry<&netPlayerLocal>());
  callback("%SendNetMsg%type$msg%from_player%to_player=0%reliable=1", ksEntry<&sendNetMsg>());
  callback("%RecvNetMsg", ksEntry<&recvNetMsg>());
  callback("%NetMsgType", ksEntry<&netMsgType>());
  callback("%NetMsgFrom", ksEntry<&netMsgFrom>());
  callback("%NetMsgTo", ksEntry<&netMsgTo>());
  callback("$NetMsgData", ksEntry<&netMsgData>());
}
