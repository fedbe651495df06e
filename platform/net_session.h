// The session layer under the multiplay module, on ENet: a named session with an
// instance id, hosted here or joined at an address; players with non-zero 32-bit ids;
// byte blocks sent from a local player to one player or to all, guaranteed or not; a
// receive queue holding those blocks and four system notices. Peers form a full mesh:
// when the host leaves, the oldest remaining peer becomes host and is told so once.
// A thread keeps the session answering (keep-alives, queries) while the program is busy.
// No ENet type shows here. The wire protocol is written down in docs/multiplayer.md.
#pragma once
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/session_query.h"

// System notices, by the type words the runtime's message handling expects.
enum class SessionNotice : uint32_t {
  None = 0,
  PlayerCreated = 3,
  PlayerDestroyed = 5,
  SessionLost = 0x31,
  HostMigrated = 0x101,
};

struct SessionPlayer {
  uint32_t id = 0;
  std::string name;
};

// What receive() took from the queue. A program message has a non-zero sender and its
// bytes in the caller's buffer; a system notice has sender 0 and names the player.
struct SessionReceived {
  uint32_t from = 0;
  uint32_t to = 0;
  size_t size = 0;  // bytes written, or the size needed when the buffer is too small
  SessionNotice notice = SessionNotice::None;
  uint32_t player = 0;
  std::string playerName;
};

enum class ReceiveStatus { Message, NoMessage, BufferTooSmall };

class NetSession {
 public:
  // Hosts a session named `name` (at most kMaxNetName bytes) on an ephemeral port and
  // answers queries on the query port. Null on failure.
  static std::unique_ptr<NetSession> host(const std::string& name);
  // Joins the listed session: connects to its host, then to every other peer. Null when
  // any of them cannot be reached or the host refuses.
  static std::unique_ptr<NetSession> join(const SessionListing& listing);
  // Leaves the session (the others see an orderly departure) and stops the thread.
  ~NetSession();
  NetSession(const NetSession&) = delete;
  NetSession& operator=(const NetSession&) = delete;

  // 0 when the peer's ids are used up.
  uint32_t createPlayer(const std::string& name);
  // False for a player that is not a local one (it is forgotten here all the same).
  bool destroyPlayer(uint32_t id);
  std::vector<SessionPlayer> players();
  bool isLocalPlayer(uint32_t id);
  // From a local player to a known player or to all (0). False when `from` is not a
  // local player, `to` is not known, or the session is lost.
  bool send(uint32_t from, uint32_t to, bool guaranteed, const void* data, size_t size);
  ReceiveStatus receive(void* buffer, size_t capacity, SessionReceived& out);
  // Waits up to ms for something to arrive in the queue; true when it is not empty.
  bool waitForMessage(int ms);

  bool isHost();
  std::string name() const { return name_; }
  InstanceId instance() const { return instance_; }
  uint16_t port() const { return port_; }  // the session's own UDP port here

  // Test seam: sends raw bytes as a session packet to every connected peer, so tests can
  // feed the other side malformed packets through a real connection.
  void sendRawForTest(const std::vector<uint8_t>& bytes, bool guaranteed);

 private:
  struct Member;
  struct Pending;
  struct Queued;

  NetSession();
  bool open(uint16_t port);
  bool startAsHost(const std::string& name);
  bool joinListing(const SessionListing& listing);
  void startThread();
  void serviceLoop();
  // Under the lock: runs ENet for up to ms and handles every event.
  void service(int ms);
  void handleConnect(void* peer, uint32_t data);
  void handleDisconnect(void* peer, uint32_t data);
  void handlePacket(void* peer, const uint8_t* data, size_t size);
  void handleJoin(void* peer, const uint8_t* data, size_t size);
  void handleHello(void* peer, const uint8_t* data, size_t size);
  void handleWelcome(void* peer, const uint8_t* data, size_t size);
  void handlePeerJoined(Member& sender, const uint8_t* data, size_t size);
  void handlePlayerCreated(Member& sender, const uint8_t* data, size_t size);
  void handlePlayerDestroyed(Member& sender, const uint8_t* data, size_t size);
  void handleData(Member& sender, const uint8_t* data, size_t size);
  void accept(void* peer, Member& member);
  void introduce(Member& member, void* peer);
  bool hosting() const { return hostNumber_ == self_; }
  void removeMember(uint32_t number, bool orderly);
  void becomeHost();
  void expirePending();
  Member* memberByPeer(void* peer);
  Member* memberByNumber(uint32_t number);
  SessionPlayer* findPlayer(uint32_t id);
  bool sendTo(void* peer, const std::vector<uint8_t>& packet, bool guaranteed);
  void broadcast(const std::vector<uint8_t>& packet, bool guaranteed);
  std::vector<uint8_t> playerCreatedPacket(const SessionPlayer& player) const;
  SessionListing listing() const;
  void leave();

  std::mutex mutex_;
  std::condition_variable stop_;
  uint32_t lastCall_ = 0;   // when the program last received or waited
  uint32_t lastServe_ = 0;  // when queries were last answered
  std::thread thread_;
  bool stopping_ = false;
  void* host_ = nullptr;  // ENetHost
  std::unique_ptr<QueryResponder> responder_;
  std::string name_;
  InstanceId instance_{};
  uint16_t port_ = 0;
  uint32_t self_ = 0;        // this peer's number, issued by the host
  uint32_t hostNumber_ = 0;  // the host's number
  uint32_t nextNumber_ = 2;  // the next number a host issues
  uint32_t nextLocal_ = 1;   // the low half of the next local player id
  bool lost_ = false;
  bool welcomed_ = false;
  bool refused_ = false;
  std::vector<std::unique_ptr<Member>> members_;  // the other peers, in order of joining
  std::vector<Pending> pending_;                   // connections not yet introduced
  std::vector<SessionPlayer> players_;             // every known player, in order of creation
  std::deque<Queued> queue_;
};
