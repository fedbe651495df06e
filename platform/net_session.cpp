// The session layer on ENet: its life (hosting, joining, the service thread, leaving)
// and the calls the multiplay module makes. The packets it receives are handled in
// session_packets.cpp.
#include "platform/net_session.h"

#include <algorithm>
#include <chrono>

#include "platform/clock.h"
#include "platform/net_session_internal.h"

using namespace netsession;

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
    result = enet_host_check_events(host, &event);  // the rest of what that call received
  }
  // Queries wait up to kServeMs, so a busy program does not pay a read for each call.
  const uint32_t now = monotonicMillis();
  if (responder_ && hosting() && now - lastServe_ >= kServeMs) {
    lastServe_ = now;
    responder_->serve(listing());
  }
  if (!pending_.empty()) {
    expirePending();
  }
  enet_host_flush(host);
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
  // One channel for everything: ENet then holds an unguaranteed packet until the guaranteed
  // ones sent before it have arrived, so a message never outruns its player's creation.
  if (enet_peer_send(asPeer(peer), 0, packet) != 0) {
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
