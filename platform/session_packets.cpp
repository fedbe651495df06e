// The packets a session receives. Every packet is parsed with a bounds-checked reader and
// must be complete, of a kind the sender's state allows, and about the sender's own
// players; anything else is dropped. Replays and duplicates are ENet's to drop (its
// sequence numbers); what gets past it is checked here like everything else.
#include <algorithm>

#include "platform/clock.h"
#include "platform/net_session_internal.h"

using namespace netsession;

void NetSession::handleConnect(void* p, uint32_t data) {
  ENetPeer* peer = asPeer(p);
  if (Member* m = memberByPeer(peer)) {
    // A connection this peer made: to the host (while joining) or to a mesh peer.
    WireWriter out;
    if (!welcomed_) {
      writeHeader(out, Join);
      out.raw(instance_.data(), instance_.size());
    } else {
      writeHeader(out, Hello);
      out.raw(instance_.data(), instance_.size());
      out.u32(self_);
    }
    sendTo(m->peer, out.bytes(), true);
    return;
  }
  if (data != kConnectMagic || pending_.size() >= kMaxPending || lost_) {
    enet_peer_disconnect_now(peer, 0);
    return;
  }
  configurePeer(peer);
  pending_.push_back(Pending{peer, monotonicMillis(), 0});
}

void NetSession::handleDisconnect(void* p, uint32_t data) {
  ENetPeer* peer = asPeer(p);
  std::erase_if(pending_, [peer](const Pending& q) { return q.peer == peer; });
  if (Member* m = memberByPeer(peer)) {
    if (!welcomed_) {
      members_.clear();  // the host refused or vanished while joining
      refused_ = true;
      return;
    }
    removeMember(m->number, data == kLeaveCode);
  }
}

void NetSession::handlePacket(void* p, const uint8_t* data, size_t size) {
  ENetPeer* peer = asPeer(p);
  if (size == 0) {
    return;
  }
  const uint8_t kind = data[0];
  Member* sender = memberByPeer(peer);
  if (!sender) {
    if (kind == Join) {
      handleJoin(peer, data, size);
    } else if (kind == Hello) {
      handleHello(peer, data, size);
    }
    return;
  }
  if (!welcomed_) {
    if (kind == Welcome) {
      handleWelcome(peer, data, size);
    } else if (kind == Refused) {
      refused_ = true;
    }
    return;
  }
  if (!sender->introduced) {
    if (kind == Hello) {
      handleHello(peer, data, size);
    }
    return;
  }
  switch (kind) {
    case PeerJoined:
      handlePeerJoined(*sender, data, size);
      break;
    case PlayerCreated:
      handlePlayerCreated(*sender, data, size);
      break;
    case PlayerDestroyed:
      handlePlayerDestroyed(*sender, data, size);
      break;
    case Data:
      handleData(*sender, data, size);
      break;
    default:
      break;
  }
}

void NetSession::handleJoin(void* p, const uint8_t* data, size_t size) {
  ENetPeer* peer = asPeer(p);
  WireReader in(data + 1, size - 1);
  InstanceId asked;
  in.raw(asked.data(), asked.size());
  const bool pending = std::any_of(pending_.begin(), pending_.end(), [peer](const Pending& q) { return q.peer == peer; });
  if (!pending || !in.finished()) {
    return;
  }
  std::erase_if(pending_, [peer](const Pending& q) { return q.peer == peer; });
  if (!hosting() || asked != instance_ || nextNumber_ > 0xFFFF) {
    WireWriter out;
    writeHeader(out, Refused);
    sendTo(peer, out.bytes(), true);
    enet_peer_disconnect_later(peer, 0);
    return;
  }
  auto member = std::make_unique<Member>();
  member->number = nextNumber_++;
  member->ip = peer->address.host;
  member->port = peer->address.port;
  member->peer = peer;
  member->introduced = true;

  WireWriter announce;
  writeHeader(announce, PeerJoined);
  announce.u32(member->number);
  announce.u32(member->ip);
  announce.u16(member->port);
  broadcast(announce.bytes(), true);

  WireWriter welcome;
  writeHeader(welcome, Welcome);
  welcome.raw(instance_.data(), instance_.size());
  welcome.u32(member->number);
  welcome.u32(self_);
  welcome.u32(nextNumber_);
  welcome.u16(uint16_t(members_.size()));
  for (const auto& m : members_) {
    welcome.u32(m->number);
    welcome.u32(m->ip);
    welcome.u16(m->port);
  }
  welcome.u16(uint16_t(players_.size()));
  for (const SessionPlayer& player : players_) {
    welcome.u32(player.id);
    welcome.text(player.name);
  }
  sendTo(peer, welcome.bytes(), true);
  members_.push_back(std::move(member));
}

void NetSession::handleWelcome(void* p, const uint8_t* data, size_t size) {
  Member* host = memberByPeer(p);
  WireReader in(data + 1, size - 1);
  InstanceId instance;
  in.raw(instance.data(), instance.size());
  const uint32_t self = in.u32();
  const uint32_t hostNumber = in.u32();
  const uint32_t next = in.u32();
  const size_t peerCount = in.u16();
  if (peerCount > kMaxPeers) {
    refused_ = true;
    return;
  }
  std::vector<Member> others(peerCount);
  for (Member& m : others) {
    m.number = in.u32();
    m.ip = in.u32();
    m.port = in.u16();
  }
  const size_t playerCount = in.u16();
  std::vector<SessionPlayer> players;
  for (size_t i = 0; i < playerCount && in.ok(); ++i) {
    SessionPlayer player;
    player.id = in.u32();
    player.name = in.text(kMaxNetName);
    players.push_back(player);
  }
  if (!in.finished() || instance != instance_ || self == 0 || self > 0xFFFF || hostNumber == 0 ||
      hostNumber == self) {
    refused_ = true;
    return;
  }
  self_ = self;
  hostNumber_ = hostNumber;
  nextNumber_ = std::max(next, self + 1);
  host->number = hostNumber;
  host->introduced = true;
  for (const Member& m : others) {
    if (m.number == 0 || m.number == self || m.number == hostNumber || m.port == 0 || memberByNumber(m.number)) {
      continue;
    }
    auto member = std::make_unique<Member>(m);
    // A peer the host knows by a loopback address sits on the host's computer.
    if (isLoopback(member->ip) && !isLoopback(host->ip)) {
      member->ip = host->ip;
    }
    ENetAddress address{};
    address.host = member->ip;
    address.port = member->port;
    member->peer = enet_host_connect(asHost(host_), &address, 2, kConnectMagic);
    if (!member->peer) {
      refused_ = true;
      return;
    }
    configurePeer(member->peer);
    members_.push_back(std::move(member));
  }
  for (const SessionPlayer& player : players) {
    if (player.id != 0 && (player.id & 0xFFFF) != 0 && memberByNumber(ownerOf(player.id)) && !findPlayer(player.id)) {
      players_.push_back(player);
    }
  }
  welcomed_ = true;
}

void NetSession::handleHello(void* p, const uint8_t* data, size_t size) {
  ENetPeer* peer = asPeer(p);
  WireReader in(data + 1, size - 1);
  InstanceId instance;
  in.raw(instance.data(), instance.size());
  const uint32_t number = in.u32();
  if (!in.finished() || instance != instance_ || number == 0 || number == self_) {
    return;
  }
  if (Member* m = memberByPeer(peer)) {
    // The answer to the Hello this peer sent: the other side accepted it.
    if (m->number == number && !m->introduced) {
      m->introduced = true;
      introduce(*m, peer);
    }
    return;
  }
  for (Pending& q : pending_) {
    if (q.peer != peer) {
      continue;
    }
    Member* announced = memberByNumber(number);
    if (announced && !announced->peer && announced->ip == peer->address.host) {
      accept(peer, *announced);
    } else {
      q.claimed = number;  // the host's announcement may still be on its way
    }
    return;
  }
}

void NetSession::accept(void* p, Member& member) {
  ENetPeer* peer = asPeer(p);
  std::erase_if(pending_, [peer](const Pending& x) { return x.peer == peer; });
  WireWriter out;
  writeHeader(out, Hello);
  out.raw(instance_.data(), instance_.size());
  out.u32(self_);
  sendTo(peer, out.bytes(), true);
  member.port = peer->address.port;
  member.peer = peer;
  member.introduced = true;
  introduce(member, peer);
}

void NetSession::handlePeerJoined(Member& sender, const uint8_t* data, size_t size) {
  WireReader in(data + 1, size - 1);
  const uint32_t number = in.u32();
  uint32_t ip = in.u32();
  const uint16_t port = in.u16();
  if (!in.finished() || sender.number != hostNumber_ || number == 0 || number > 0xFFFF || number == self_ ||
      memberByNumber(number) || port == 0 || members_.size() >= kMaxPeers) {
    return;
  }
  if (isLoopback(ip) && !isLoopback(sender.ip)) {
    ip = sender.ip;
  }
  auto member = std::make_unique<Member>();
  member->number = number;
  member->ip = ip;
  member->port = port;
  nextNumber_ = std::max(nextNumber_, number + 1);
  Member& added = *member;
  members_.push_back(std::move(member));
  for (const Pending& q : pending_) {
    if (q.claimed == number && q.peer->address.host == ip) {
      accept(q.peer, added);  // its Hello came before the announcement
      return;
    }
  }
}

void NetSession::handlePlayerCreated(Member& sender, const uint8_t* data, size_t size) {
  WireReader in(data + 1, size - 1);
  SessionPlayer player;
  player.id = in.u32();
  player.name = in.text(kMaxNetName);
  if (!in.finished() || ownerOf(player.id) != sender.number || (player.id & 0xFFFF) == 0 || findPlayer(player.id)) {
    return;
  }
  players_.push_back(player);
  Queued notice;
  notice.notice = SessionNotice::PlayerCreated;
  notice.player = player.id;
  notice.name = player.name;
  queue_.push_back(std::move(notice));
}

void NetSession::handlePlayerDestroyed(Member& sender, const uint8_t* data, size_t size) {
  WireReader in(data + 1, size - 1);
  const uint32_t id = in.u32();
  if (!in.finished() || ownerOf(id) != sender.number) {
    return;
  }
  SessionPlayer* player = findPlayer(id);
  if (!player) {
    return;
  }
  Queued notice;
  notice.notice = SessionNotice::PlayerDestroyed;
  notice.player = id;
  notice.name = player->name;
  std::erase_if(players_, [id](const SessionPlayer& x) { return x.id == id; });
  queue_.push_back(std::move(notice));
}

void NetSession::handleData(Member& sender, const uint8_t* data, size_t size) {
  WireReader in(data + 1, size - 1);
  const uint32_t from = in.u32();
  const uint32_t to = in.u32();
  if (!in.ok() || ownerOf(from) != sender.number || !findPlayer(from)) {
    return;
  }
  if (to != 0 && (ownerOf(to) != self_ || !findPlayer(to))) {
    return;
  }
  if (queue_.size() >= kMaxQueued) {
    return;  // a program that never receives does not let a peer fill the memory
  }
  Queued message;
  message.from = from;
  message.to = to;
  message.bytes.assign(in.rest(), in.rest() + in.left());
  queue_.push_back(std::move(message));
}

void NetSession::introduce(Member& member, void* peer) {
  for (const SessionPlayer& player : players_) {
    if (ownerOf(player.id) == self_) {
      sendTo(peer, playerCreatedPacket(player), true);
    }
  }
  (void)member;
}

void NetSession::removeMember(uint32_t number, bool orderly) {
  std::erase_if(members_, [number](const std::unique_ptr<Member>& m) { return m->number == number; });
  for (const SessionPlayer& player : players_) {
    if (ownerOf(player.id) == number) {
      Queued notice;
      notice.notice = SessionNotice::PlayerDestroyed;
      notice.player = player.id;
      notice.name = player.name;
      queue_.push_back(std::move(notice));
    }
  }
  std::erase_if(players_, [number](const SessionPlayer& p) { return ownerOf(p.id) == number; });
  if (number != hostNumber_) {
    return;
  }
  if (!orderly && members_.empty()) {
    // Cut off from the host with nobody left: the session is gone for this peer.
    lost_ = true;
    Queued notice;
    notice.notice = SessionNotice::SessionLost;
    queue_.push_back(std::move(notice));
    return;
  }
  uint32_t oldest = self_;
  for (const auto& m : members_) {
    oldest = std::min(oldest, m->number);
  }
  hostNumber_ = oldest;
  if (oldest == self_) {
    becomeHost();
  }
}

void NetSession::becomeHost() {
  for (const auto& m : members_) {
    nextNumber_ = std::max(nextNumber_, m->number + 1);
  }
  responder_ = QueryResponder::open(sessionQueryPort());
  Queued notice;
  notice.notice = SessionNotice::HostMigrated;
  queue_.push_back(std::move(notice));
}

void NetSession::expirePending() {
  const uint32_t now = monotonicMillis();
  std::erase_if(pending_, [now](const Pending& q) {
    if (now - q.since < kPendingMs) {
      return false;
    }
    enet_peer_disconnect_now(q.peer, 0);
    return true;
  });
}
