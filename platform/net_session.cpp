// The session layer on ENet. Every packet is parsed with a bounds-checked reader and
// must be complete, of a kind the sender's state allows, and about the sender's own
// players; anything else is dropped. Replays and duplicates are ENet's to drop (its
// sequence numbers); what gets past it is checked here like everything else.
#include "platform/net_session.h"

#include <enet/enet.h>

#include <algorithm>
#include <chrono>
#include <random>

#include "platform/clock.h"
#include "platform/net_wire.h"

namespace {

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

ENetPeer* asPeer(void* p) { return static_cast<ENetPeer*>(p); }
ENetHost* asHost(void* h) { return static_cast<ENetHost*>(h); }

uint32_t ownerOf(uint32_t playerId) { return playerId >> 16; }

bool isLoopback(uint32_t ip) { return (ntohl(ip) >> 24) == 127; }

void configurePeer(ENetPeer* peer) { enet_peer_timeout(peer, 0, kTimeoutMinMs, kTimeoutMaxMs); }

InstanceId randomInstance() {
  std::random_device device;
  InstanceId id;
  for (uint8_t& b : id) {
    b = uint8_t(device());
  }
  return id;
}

void writeHeader(WireWriter& out, Kind kind) { out.u8(kind); }

}  // namespace

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

NetSession::NetSession() = default;

std::unique_ptr<NetSession> NetSession::host(const std::string& name) {
  if (name.size() > kMaxNetName || !startNetworking()) {
    return nullptr;
  }
  std::unique_ptr<NetSession> session(new NetSession());
  if (!session->open(0) || !session->startAsHost(name)) {
    return nullptr;
  }
  session->startThread();
  return session;
}

std::unique_ptr<NetSession> NetSession::join(const SessionListing& listing) {
  if (!startNetworking()) {
    return nullptr;
  }
  std::unique_ptr<NetSession> session(new NetSession());
  if (!session->open(0) || !session->joinListing(listing)) {
    return nullptr;
  }
  session->startThread();
  return session;
}

NetSession::~NetSession() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  stop_.notify_all();
  if (thread_.joinable()) {
    thread_.join();
  }
  leave();
}

bool NetSession::open(uint16_t port) {
  ENetAddress address{};
  address.host = ENET_HOST_ANY;
  address.port = port;
  ENetHost* host = enet_host_create(&address, kMaxPeers, 2, 0, 0);
  if (!host) {
    return false;
  }
  host->maximumPacketSize = kMaxPacket;
  host_ = host;
  ENetAddress bound{};
  if (enet_socket_get_address(host->socket, &bound) != 0) {
    return false;
  }
  port_ = bound.port;
  return true;
}

bool NetSession::startAsHost(const std::string& name) {
  name_ = name;
  instance_ = randomInstance();
  self_ = 1;
  hostNumber_ = 1;
  welcomed_ = true;  // the host needs no welcome
  responder_ = QueryResponder::open(sessionQueryPort());
  return responder_ != nullptr;
}

bool NetSession::joinListing(const SessionListing& listing) {
  name_ = listing.name;
  instance_ = listing.instance;
  ENetAddress address{};
  address.host = listing.ip;
  address.port = listing.port;
  ENetPeer* hostPeer = enet_host_connect(asHost(host_), &address, 2, kConnectMagic);
  if (!hostPeer) {
    return false;
  }
  configurePeer(hostPeer);
  auto host = std::make_unique<Member>();
  host->ip = listing.ip;
  host->port = listing.port;
  host->peer = hostPeer;
  members_.push_back(std::move(host));
  std::unique_lock<std::mutex> lock(mutex_);
  const uint32_t start = monotonicMillis();
  auto joined = [this] {
    if (!welcomed_) {
      return false;
    }
    for (const auto& m : members_) {
      if (!m->introduced) {
        return false;
      }
    }
    return true;
  };
  while (!refused_ && !joined() && monotonicMillis() - start < uint32_t(kJoinMs)) {
    if (!welcomed_ && members_.empty()) {
      break;  // the host went away
    }
    service(20);
  }
  if (!joined() || refused_ || lost_) {
    return false;
  }
  // Notices of players that were already there belong to the enumeration, not the queue.
  std::erase_if(queue_, [](const Queued& q) { return q.notice == SessionNotice::PlayerCreated; });
  return true;
}

void NetSession::startThread() { thread_ = std::thread([this] { serviceLoop(); }); }

void NetSession::serviceLoop() {
  std::unique_lock<std::mutex> lock(mutex_);
  while (!stopping_) {
    // While the program calls in often, its calls run ENet: waking for the same packets
    // would only make the two threads take turns at the lock.
    if (monotonicMillis() - lastCall_ < kCallerActiveMs) {
      stop_.wait_for(lock, std::chrono::milliseconds(kCallerActiveMs));
      continue;
    }
    service(0);
    ENetSocket sockets[2] = {asHost(host_)->socket, responder_ ? ENetSocket(responder_->socket()) : ENET_SOCKET_NULL};
    lock.unlock();
    ENetSocketSet readable;
    ENET_SOCKETSET_EMPTY(readable);
    ENetSocket highest = sockets[0];
    ENET_SOCKETSET_ADD(readable, sockets[0]);
    if (sockets[1] != ENET_SOCKET_NULL) {
      ENET_SOCKETSET_ADD(readable, sockets[1]);
      highest = std::max(highest, sockets[1]);
    }
    enet_socketset_select(highest, &readable, nullptr, 50);
    lock.lock();
  }
}

void NetSession::service(int ms) {
  ENetHost* host = asHost(host_);
  ENetEvent event;
  int result = enet_host_service(host, &event, enet_uint32(std::max(ms, 0)));
  while (result > 0) {
    switch (event.type) {
      case ENET_EVENT_TYPE_CONNECT:
        handleConnect(event.peer, event.data);
        break;
      case ENET_EVENT_TYPE_DISCONNECT:
        handleDisconnect(event.peer, event.data);
        break;
      case ENET_EVENT_TYPE_RECEIVE:
        handlePacket(event.peer, event.packet->data, event.packet->dataLength);
        enet_packet_destroy(event.packet);
        break;
      default:
        break;
    }
    result = enet_host_service(host, &event, 0);
  }
  if (responder_ && hosting()) {
    responder_->serve(listing());
  }
  expirePending();
  enet_host_flush(host);
  if (!queue_.empty()) {
    arrived_.notify_all();
  }
}

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

NetSession::Member* NetSession::memberByPeer(void* peer) {
  for (const auto& m : members_) {
    if (m->peer == peer) {
      return m.get();
    }
  }
  return nullptr;
}

NetSession::Member* NetSession::memberByNumber(uint32_t number) {
  for (const auto& m : members_) {
    if (m->number == number) {
      return m.get();
    }
  }
  return nullptr;
}

SessionPlayer* NetSession::findPlayer(uint32_t id) {
  for (SessionPlayer& p : players_) {
    if (p.id == id) {
      return &p;
    }
  }
  return nullptr;
}

bool NetSession::sendTo(void* peer, const std::vector<uint8_t>& bytes, bool guaranteed) {
  ENetPacket* packet =
      enet_packet_create(bytes.data(), bytes.size(), guaranteed ? ENET_PACKET_FLAG_RELIABLE : 0);
  if (!packet) {
    return false;
  }
  if (enet_peer_send(asPeer(peer), guaranteed ? 0 : 1, packet) != 0) {
    enet_packet_destroy(packet);
    return false;
  }
  return true;
}

void NetSession::broadcast(const std::vector<uint8_t>& bytes, bool guaranteed) {
  for (const auto& m : members_) {
    if (m->peer && m->introduced) {
      sendTo(m->peer, bytes, guaranteed);
    }
  }
}

std::vector<uint8_t> NetSession::playerCreatedPacket(const SessionPlayer& player) const {
  WireWriter out;
  writeHeader(out, PlayerCreated);
  out.u32(player.id);
  out.text(player.name);
  return out.bytes();
}

SessionListing NetSession::listing() const {
  SessionListing l;
  l.name = name_;
  l.instance = instance_;
  l.port = port_;
  l.players = uint16_t(std::min<size_t>(players_.size(), 0xFFFF));
  return l;
}

void NetSession::leave() {
  if (!host_) {
    return;
  }
  ENetHost* host = asHost(host_);
  size_t connected = 0;
  for (const auto& m : members_) {
    if (m->peer) {
      enet_peer_disconnect(m->peer, kLeaveCode);
      ++connected;
    }
  }
  for (const Pending& q : pending_) {
    enet_peer_disconnect_now(q.peer, 0);
  }
  enet_host_flush(host);
  // Waits briefly for the departures to be acknowledged, so none needs a time-out.
  const uint32_t start = monotonicMillis();
  ENetEvent event;
  while (connected > 0 && monotonicMillis() - start < uint32_t(kLeaveMs)) {
    const int result = enet_host_service(host, &event, 20);
    if (result > 0 && event.type == ENET_EVENT_TYPE_DISCONNECT) {
      --connected;
    } else if (result > 0 && event.type == ENET_EVENT_TYPE_RECEIVE) {
      enet_packet_destroy(event.packet);
    }
  }
  enet_host_destroy(host);
  host_ = nullptr;
}

uint32_t NetSession::createPlayer(const std::string& name) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (lost_ || name.size() > kMaxNetName || nextLocal_ > 0xFFFF) {
    return 0;
  }
  SessionPlayer player;
  player.id = self_ << 16 | nextLocal_++;
  player.name = name;
  players_.push_back(player);
  broadcast(playerCreatedPacket(player), true);
  enet_host_flush(asHost(host_));
  return player.id;
}

bool NetSession::destroyPlayer(uint32_t id) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (!findPlayer(id)) {
    return false;
  }
  std::erase_if(players_, [id](const SessionPlayer& p) { return p.id == id; });
  if (ownerOf(id) != self_) {
    return false;
  }
  WireWriter out;
  writeHeader(out, PlayerDestroyed);
  out.u32(id);
  broadcast(out.bytes(), true);
  enet_host_flush(asHost(host_));
  return true;
}

std::vector<SessionPlayer> NetSession::players() {
  std::lock_guard<std::mutex> lock(mutex_);
  return players_;
}

bool NetSession::isLocalPlayer(uint32_t id) {
  std::lock_guard<std::mutex> lock(mutex_);
  return ownerOf(id) == self_ && findPlayer(id);
}

bool NetSession::send(uint32_t from, uint32_t to, bool guaranteed, const void* data, size_t size) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (lost_ || ownerOf(from) != self_ || !findPlayer(from) || size > kMaxPacket - 9) {
    return false;
  }
  WireWriter out;
  writeHeader(out, Data);
  out.u32(from);
  out.u32(to);
  out.raw(data, size);
  auto local = [&] {
    Queued q;
    q.from = from;
    q.to = to;
    q.bytes.assign(static_cast<const uint8_t*>(data), static_cast<const uint8_t*>(data) + size);
    return q;
  };
  if (to == 0) {
    broadcast(out.bytes(), guaranteed);
    const bool otherLocal = std::any_of(players_.begin(), players_.end(), [this, from](const SessionPlayer& p) {
      return ownerOf(p.id) == self_ && p.id != from;
    });
    if (otherLocal) {
      queue_.push_back(local());
    }
  } else {
    if (!findPlayer(to)) {
      return false;
    }
    if (ownerOf(to) == self_) {
      queue_.push_back(local());
    } else {
      Member* m = memberByNumber(ownerOf(to));
      if (!m || !m->peer || !m->introduced || !sendTo(m->peer, out.bytes(), guaranteed)) {
        return false;
      }
    }
  }
  enet_host_flush(asHost(host_));
  return true;
}

ReceiveStatus NetSession::receive(void* buffer, size_t capacity, SessionReceived& out) {
  std::lock_guard<std::mutex> lock(mutex_);
  lastCall_ = monotonicMillis();
  if (queue_.empty()) {
    service(0);
  }
  if (queue_.empty()) {
    return ReceiveStatus::NoMessage;
  }
  Queued& q = queue_.front();
  out = SessionReceived{};
  if (q.notice != SessionNotice::None) {
    out.notice = q.notice;
    out.player = q.player;
    out.playerName = q.name;
    queue_.pop_front();
    return ReceiveStatus::Message;
  }
  out.from = q.from;
  out.to = q.to;
  out.size = q.bytes.size();
  if (q.bytes.size() > capacity) {
    return ReceiveStatus::BufferTooSmall;
  }
  if (!q.bytes.empty()) {
    std::memcpy(buffer, q.bytes.data(), q.bytes.size());
  }
  queue_.pop_front();
  return ReceiveStatus::Message;
}

bool NetSession::waitForMessage(int ms) {
  std::lock_guard<std::mutex> lock(mutex_);
  lastCall_ = monotonicMillis();
  const uint32_t start = monotonicMillis();
  for (;;) {
    if (!queue_.empty()) {
      return true;
    }
    const uint32_t spent = monotonicMillis() - start;
    service(int(std::min<uint32_t>(spent >= uint32_t(ms) ? 0 : uint32_t(ms) - spent, 10)));
    if (!queue_.empty()) {
      return true;
    }
    if (spent >= uint32_t(std::max(ms, 0))) {
      return false;
    }
  }
}

bool NetSession::isHost() {
  std::lock_guard<std::mutex> lock(mutex_);
  return hosting();
}

void NetSession::sendRawForTest(const std::vector<uint8_t>& bytes, bool guaranteed) {
  std::lock_guard<std::mutex> lock(mutex_);
  broadcast(bytes, guaranteed);
  enet_host_flush(asHost(host_));
}
