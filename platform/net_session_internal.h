// What the session layer's two files share: the packet kinds, the limits, and the records
// of peers, connections and queued messages. Included only by platform/net_session.cpp
// and platform/session_packets.cpp.
#pragma once
#include <enet/enet.h>

#include <random>

#include "platform/net_session.h"
#include "platform/net_wire.h"

namespace netsession {

constexpr uint32_t kConnectMagic = 0x314D534B;  // "KSM1": the connect request's data word
constexpr uint32_t kLeaveCode = 0x5641454C;     // "LEAV": an orderly departure
constexpr size_t kMaxPeers = 64;
constexpr size_t kMaxPending = 16;
constexpr size_t kMaxPacket = 1 << 20;
constexpr size_t kMaxQueued = 65536;  // program messages waiting at most
constexpr int kJoinMs = 10000;        // to reach the host and every peer
constexpr uint32_t kPendingMs = 10000;  // an unintroduced connection is dropped after this
constexpr uint32_t kTimeoutMinMs = 4000;
constexpr uint32_t kTimeoutMaxMs = 15000;
constexpr int kLeaveMs = 500;
constexpr uint32_t kCallerActiveMs = 50;
constexpr uint32_t kServeMs = 20;

enum Kind : uint8_t {
  Join = 1,
  Welcome = 2,
  Refused = 3,
  PeerJoined = 4,
  Hello = 5,
  PlayerCreated = 6,
  PlayerDestroyed = 7,
  Data = 8,
};

inline ENetPeer* asPeer(void* p) { return static_cast<ENetPeer*>(p); }
inline ENetHost* asHost(void* h) { return static_cast<ENetHost*>(h); }

inline uint32_t ownerOf(uint32_t playerId) { return playerId >> 16; }

inline bool isLoopback(uint32_t ip) { return (ntohl(ip) >> 24) == 127; }

inline void configurePeer(ENetPeer* peer) { enet_peer_timeout(peer, 0, kTimeoutMinMs, kTimeoutMaxMs); }

inline InstanceId randomInstance() {
  std::random_device device;
  InstanceId id;
  for (uint8_t& b : id) {
    b = uint8_t(device());
  }
  return id;
}

inline void writeHeader(WireWriter& out, Kind kind) { out.u8(kind); }

}  // namespace netsession

struct NetSession::Member {
  uint32_t number = 0;
  uint32_t ip = 0;
  uint16_t port = 0;
  ENetPeer* peer = nullptr;
  bool introduced = false;
};

struct NetSession::Pending {
  ENetPeer* peer = nullptr;
  uint32_t since = 0;
  uint32_t claimed = 0;  // the number a Hello claimed before the host announced it
};

struct NetSession::Queued {
  uint32_t from = 0;
  uint32_t to = 0;
  std::vector<uint8_t> bytes;
  SessionNotice notice = SessionNotice::None;
  uint32_t player = 0;
  std::string name;
};

