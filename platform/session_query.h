// Finding sessions: a host answers a small UDP query on a fixed port (47624, or the port
// in KS_NETPLAY_QUERY_PORT) with its session's name, instance id and session port. A
// query goes to one address, to this computer's loopback broadcast address, or to the
// local network's broadcast address. No ENet type shows here.
#pragma once
#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

constexpr uint16_t kDefaultQueryPort = 47624;
// The longest session or player name the layer carries, in bytes.
constexpr size_t kMaxNetName = 1024;

using InstanceId = std::array<uint8_t, 16>;

// The query port of this process: KS_NETPLAY_QUERY_PORT when it holds 1..65535, else
// the default.
uint16_t sessionQueryPort();

struct SessionListing {
  std::string name;
  InstanceId instance{};
  uint32_t ip = 0;       // IPv4 of the answering host, network byte order
  uint16_t port = 0;     // the session's own port there
  uint16_t players = 0;  // players in the session when it answered
};

// The packets, exposed for the tests. A query is 9 bytes; an answer echoes its nonce.
std::vector<uint8_t> encodeQuery(uint32_t nonce);
std::optional<uint32_t> parseQuery(const uint8_t* data, size_t size);
std::vector<uint8_t> encodeAnswer(uint32_t nonce, const SessionListing& listing);
std::optional<SessionListing> parseAnswer(const uint8_t* data, size_t size, uint32_t nonce);

// Where a query goes: "" is the local network (255.255.255.255); an address in
// 127.0.0.0/8 is this computer (its loopback broadcast, so every session here answers);
// anything else is a host name or dotted address.
enum class QueryTarget { Address, ThisComputer, LocalNetwork };

// One enumeration in flight. Answers are collected without waiting, so a dialog can keep
// drawing while they come in.
class SessionQuery {
 public:
  // Opens the socket without sending anything yet. Null when the address cannot be
  // resolved or no socket can be opened.
  static std::unique_ptr<SessionQuery> start(QueryTarget target, const std::string& address = std::string());
  ~SessionQuery();
  SessionQuery(const SessionQuery&) = delete;
  SessionQuery& operator=(const SessionQuery&) = delete;

  void send();
  // Waits up to ms for an answer to arrive.
  void wait(int ms);
  // Adds the answers that have arrived to `found` (each instance once, in order of arrival).
  void collect(std::vector<SessionListing>& found);

 private:
  SessionQuery() = default;
  intptr_t socket_ = -1;
  uint32_t targetIp_ = 0;
  uint32_t nonce_ = 0;
};

// Sends a query and collects answers for windowMs (the query is repeated meanwhile).
std::vector<SessionListing> findSessions(QueryTarget target, const std::string& address, int windowMs);

// A host's answering socket on the query port (shared with other hosts on this computer,
// so each receives broadcast queries).
class QueryResponder {
 public:
  static std::unique_ptr<QueryResponder> open(uint16_t port);
  ~QueryResponder();
  QueryResponder(const QueryResponder&) = delete;
  QueryResponder& operator=(const QueryResponder&) = delete;

  intptr_t socket() const { return socket_; }
  // Answers every well-formed query waiting; anything else is read and dropped.
  void serve(const SessionListing& self);

 private:
  QueryResponder() = default;
  intptr_t socket_ = -1;
};

// Starts ENet once for the process; false when it cannot start.
bool startNetworking();
