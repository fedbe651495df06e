// The session query on ENet's plain UDP sockets. Every datagram is checked for its magic,
// kind, exact length and nonce before anything of it is used.
#include "platform/session_query.h"

#include <enet/enet.h>

#include <cstdlib>
#include <mutex>
#include <random>

#include "platform/clock.h"
#include "platform/net_wire.h"

namespace {

constexpr uint8_t kMagic[4] = {'K', 'S', 'Q', '1'};
constexpr uint8_t kQueryKind = 1;
constexpr uint8_t kAnswerKind = 2;
constexpr size_t kQuerySize = 9;
constexpr size_t kLargestDatagram = 2048;
constexpr int kResendMs = 250;

bool readMagic(WireReader& in, uint8_t kind) {
  uint8_t magic[4];
  in.raw(magic, 4);
  const uint8_t k = in.u8();
  return in.ok() && std::memcmp(magic, kMagic, 4) == 0 && k == kind;
}

void writeMagic(WireWriter& out, uint8_t kind) {
  out.raw(kMagic, 4);
  out.u8(kind);
}

ENetSocket openSocket(uint16_t port, bool shared) {
  const ENetSocket s = enet_socket_create(ENET_SOCKET_TYPE_DATAGRAM);
  if (s == ENET_SOCKET_NULL) {
    return s;
  }
  enet_socket_set_option(s, ENET_SOCKOPT_NONBLOCK, 1);
  enet_socket_set_option(s, ENET_SOCKOPT_BROADCAST, 1);
  if (shared) {
    enet_socket_set_option(s, ENET_SOCKOPT_REUSEADDR, 1);
  }
  ENetAddress any{};
  any.host = ENET_HOST_ANY;
  any.port = port;
  if (enet_socket_bind(s, &any) < 0) {
    enet_socket_destroy(s);
    return ENET_SOCKET_NULL;
  }
  return s;
}

uint32_t randomWord() {
  static std::mt19937 generator{std::random_device{}()};
  return generator();
}


// One datagram into bytes: its size, or 0 or less when none is waiting.
int receiveDatagram(int socket, ENetAddress& from, uint8_t (&bytes)[kLargestDatagram]) {
  ENetBuffer buffer{};
  buffer.data = bytes;
  buffer.dataLength = sizeof bytes;
  return enet_socket_receive(ENetSocket(socket), &from, &buffer, 1);
}

void sendDatagram(int socket, const ENetAddress& to, const std::vector<uint8_t>& packet) {
  ENetBuffer buffer{};
  buffer.data = const_cast<uint8_t*>(packet.data());
  buffer.dataLength = packet.size();
  enet_socket_send(ENetSocket(socket), &to, &buffer, 1);
}

}  // namespace

bool startNetworking() {
  static std::once_flag once;
  static bool started = false;
  std::call_once(once, [] {
    started = enet_initialize() == 0;
    if (started) {
      std::atexit(enet_deinitialize);
    }
  });
  return started;
}

uint16_t sessionQueryPort() {
  if (const char* text = std::getenv("KS_NETPLAY_QUERY_PORT")) {
    char* end = nullptr;
    const long port = std::strtol(text, &end, 10);
    if (end != text && *end == '\0' && port >= 1 && port <= 65535) {
      return uint16_t(port);
    }
  }
  return kDefaultQueryPort;
}

std::vector<uint8_t> encodeQuery(uint32_t nonce) {
  WireWriter out;
  writeMagic(out, kQueryKind);
  out.u32(nonce);
  return out.bytes();
}

std::optional<uint32_t> parseQuery(const uint8_t* data, size_t size) {
  WireReader in(data, size);
  if (size != kQuerySize || !readMagic(in, kQueryKind)) {
    return std::nullopt;
  }
  const uint32_t nonce = in.u32();
  return in.finished() ? std::optional<uint32_t>(nonce) : std::nullopt;
}

std::vector<uint8_t> encodeAnswer(uint32_t nonce, const SessionListing& listing) {
  WireWriter out;
  writeMagic(out, kAnswerKind);
  out.u32(nonce);
  out.raw(listing.instance.data(), listing.instance.size());
  out.u16(listing.port);
  out.u16(listing.players);
  out.text(listing.name.substr(0, kMaxNetName));
  return out.bytes();
}

std::optional<SessionListing> parseAnswer(const uint8_t* data, size_t size, uint32_t nonce) {
  WireReader in(data, size);
  if (!readMagic(in, kAnswerKind) || in.u32() != nonce) {
    return std::nullopt;
  }
  SessionListing listing;
  in.raw(listing.instance.data(), listing.instance.size());
  listing.port = in.u16();
  listing.players = in.u16();
  listing.name = in.text(kMaxNetName);
  if (!in.finished() || listing.port == 0) {
    return std::nullopt;
  }
  return listing;
}

std::unique_ptr<SessionQuery> SessionQuery::start(QueryTarget target, const std::string& address) {
  if (!startNetworking()) {
    return nullptr;
  }
  std::unique_ptr<SessionQuery> query(new SessionQuery());
  if (target == QueryTarget::LocalNetwork) {
    query->targetIp_ = ENET_HOST_BROADCAST;
  } else if (target == QueryTarget::ThisComputer) {
    query->targetIp_ = htonl(0x7FFFFFFF);
  } else {
    ENetAddress resolved{};
    if (address.empty() || enet_address_set_host(&resolved, address.c_str()) != 0) {
      return nullptr;
    }
    query->targetIp_ = resolved.host;
    if ((ntohl(resolved.host) >> 24) == 127) {
      query->targetIp_ = htonl(0x7FFFFFFF);
    }
  }
  query->socket_ = openSocket(0, false);
  if (query->socket_ == ENET_SOCKET_NULL) {
    query->socket_ = -1;
    return nullptr;
  }
  query->nonce_ = randomWord();
  return query;
}

SessionQuery::~SessionQuery() {
  if (socket_ != -1) {
    enet_socket_destroy(ENetSocket(socket_));
  }
}

void SessionQuery::send() {
  ENetAddress to{};
  to.host = targetIp_;
  to.port = sessionQueryPort();
  sendDatagram(socket_, to, encodeQuery(nonce_));
}

void SessionQuery::wait(int ms) {
  enet_uint32 condition = ENET_SOCKET_WAIT_RECEIVE;
  enet_socket_wait(ENetSocket(socket_), &condition, enet_uint32(ms));
}

void SessionQuery::collect(std::vector<SessionListing>& found) {
  uint8_t bytes[kLargestDatagram];
  for (;;) {
    ENetAddress from{};
    const int size = receiveDatagram(socket_, from, bytes);
    if (size <= 0) {
      return;
    }
    std::optional<SessionListing> listing = parseAnswer(bytes, size_t(size), nonce_);
    if (!listing) {
      continue;
    }
    listing->ip = from.host;
    bool known = false;
    for (const SessionListing& f : found) {
      known = known || f.instance == listing->instance;
    }
    if (!known) {
      found.push_back(*listing);
    }
  }
}

std::vector<SessionListing> findSessions(QueryTarget target, const std::string& address, int windowMs) {
  std::vector<SessionListing> found;
  std::unique_ptr<SessionQuery> query = SessionQuery::start(target, address);
  if (!query) {
    return found;
  }
  query->send();
  const uint32_t start = monotonicMillis();
  uint32_t lastSend = start;
  while (monotonicMillis() - start < uint32_t(windowMs)) {
    query->collect(found);
    if (monotonicMillis() - lastSend >= uint32_t(kResendMs)) {
      query->send();
      lastSend = monotonicMillis();
    }
    query->wait(20);
  }
  query->collect(found);
  return found;
}

std::unique_ptr<QueryResponder> QueryResponder::open(uint16_t port) {
  if (!startNetworking()) {
    return nullptr;
  }
  const ENetSocket s = openSocket(port, true);
  if (s == ENET_SOCKET_NULL) {
    return nullptr;
  }
  std::unique_ptr<QueryResponder> responder(new QueryResponder());
  responder->socket_ = s;
  return responder;
}

QueryResponder::~QueryResponder() {
  if (socket_ != -1) {
    enet_socket_destroy(ENetSocket(socket_));
  }
}

void QueryResponder::serve(const SessionListing& self) {
  uint8_t bytes[kLargestDatagram];
  for (int i = 0; i < 64; ++i) {  // bounded, so a flood cannot hold the session's lock
    ENetAddress from{};
    const int size = receiveDatagram(socket_, from, bytes);
    if (size <= 0) {
      return;
    }
    const std::optional<uint32_t> nonce = parseQuery(bytes, size_t(size));
    if (!nonce || from.port == 0) {
      continue;
    }
    sendDatagram(socket_, from, encodeAnswer(*nonce, self));
  }
}
