// Starting and stopping a session: HostNetGame, JoinNetGame, StopNetGame, and
// StartNetGame, which runs the set-up dialog.
#include "basic/ks_error.h"
#include "basic/ks_str.h"
#include "host/sys_runtime.h"
#include "multiplay/multiplay_state.h"
#include "multiplay/setup_dialog.h"
#include "platform/window.h"

namespace {

MultiplayState& mp = multiplayState;
const char* const kAlreadyStarted = "Multiplayer game already started";
const char* const kInProgress = "Multiplay game already in progress";
// How long JoinNetGame collects the answers to its query.
constexpr int kJoinQueryMs = 1500;

void requireNoSession() {
  if (mp.session) {
    runtimeError(kAlreadyStarted);
  }
}

// Pumps window messages whether or not the program is still running.
void pump() {
  if (currentRuntime) {
    currentRuntime->pollEvents();
  }
}

}  // namespace

namespace multiplaycmd {

int32_t hostNetGame(ksStr* gameName) {
  const std::string name = ksStrTake(gameName);
  requireNoSession();
  std::unique_ptr<NetSession> session = NetSession::host(name);
  const int32_t code = session ? StartCreated : StartFailed;
  return adoptSession(std::move(session), code);
}

int32_t joinNetGame(ksStr* gameName, ksStr* ipAddress) {
  const std::string name = ksStrTake(gameName);
  const std::string address = ksStrTake(ipAddress);
  requireNoSession();
  const QueryTarget target = address.empty() ? QueryTarget::LocalNetwork : QueryTarget::Address;
  std::unique_ptr<NetSession> session;
  for (const SessionListing& listing : findSessions(target, address, kJoinQueryMs)) {
    if (listing.name == name) {
      session = NetSession::join(listing);
      break;
    }
  }
  const int32_t code = session ? StartJoined : StartFailed;
  return adoptSession(std::move(session), code);
}

void stopNetGame() {
  closeSession();
  forgetAllPlayers();
}

int32_t startNetGame() {
  requireNoSession();
  pump();
  if (mp.session) {
    runtimeError(kInProgress);
  }
  SetupDialogResult result = runSetupDialog();
  postHostEvent(HostEventKind::Resume);
  pump();
  return adoptSession(std::move(result.session), result.code);
}

}  // namespace multiplaycmd
