// The sockets module: host lookup, UDP streams, TCP streams and servers over IPv4, and
// the time-outs they wait by. It owns every socket object it handed out and closes
// those still open when it is destroyed.
#include <set>
#include <string>
#include <vector>

#include "basic/ks_error.h"
#include "basic/ks_str.h"
#include "platform/socket.h"
#include "runtime/entry.h"
#include "runtime/modules.h"
#include "streams/socket_wait.h"
#include "streams/sockets_commands.h"
#include "streams/tcp_stream.h"
#include "streams/udp_stream.h"

namespace {

const char* const kNoUdpStream = "UDP Stream does not exist";
const char* const kNoTcpStream = "TCP Stream does not exist";
const char* const kNoTcpServer = "TCP Server does not exist";
const char* const kHostIndexOutOfRange = "Host index out of range";

// The addresses of the last CountHostIPs, host order.
std::vector<uint32_t> hostAddresses;
// Every socket object the program holds, by kind.
std::set<UdpStream*> udpStreams;
std::set<TcpStream*> tcpStreams;
std::set<TcpServer*> tcpServers;

template <typename Object>
Object* objectFromHandle(int32_t handle) {
  return reinterpret_cast<Object*>(static_cast<intptr_t>(handle));
}

template <typename Object>
int32_t handleOf(Object* object) {
  return static_cast<int32_t>(reinterpret_cast<intptr_t>(object));
}

// The live object a handle names, or null. Unknown handles are an error in debug mode
// and are otherwise ignored: socket commands wait on the system anyway, so the lookup
// costs nothing that shows, and a stale handle never reaches freed memory.
template <typename Object>
Object* liveObject(const std::set<Object*>& live, int32_t handle, const char* error) {
  Object* const object = objectFromHandle<Object>(handle);
  if (live.count(object) != 0) {
    return object;
  }
  if (debugMode) {
    runtimeError(error);
  }
  return nullptr;
}

UdpStream* liveUdp(int32_t handle) { return liveObject(udpStreams, handle, kNoUdpStream); }
TcpStream* liveTcp(int32_t handle) { return liveObject(tcpStreams, handle, kNoTcpStream); }
TcpServer* liveServer(int32_t handle) { return liveObject(tcpServers, handle, kNoTcpServer); }

int32_t asInt(uint32_t word) { return static_cast<int32_t>(word); }

void destroyTcp(TcpStream* stream) {
  tcpStreams.erase(stream);
  delete stream;  // also leaves its server's accepted set
}

void destroyServer(TcpServer* server) {
  tcpServers.erase(server);
  while (!server->accepted.empty()) {
    destroyTcp(*server->accepted.begin());
  }
  delete server;
}

}  // namespace

namespace netcmd {

ksStr* dottedIP(int32_t ip) {
  const uint32_t word = static_cast<uint32_t>(ip);
  const std::string text = std::to_string(word >> 24) + '.' + std::to_string((word >> 16) & 255) +
                           '.' + std::to_string((word >> 8) & 255) + '.' +
                           std::to_string(word & 255);
  return ksStrNew(text);
}

int32_t countHostIPs(ksStr* hostName) {
  if (!lookupHost(ksStrTake(hostName), hostAddresses)) {
    hostAddresses.clear();
  }
  return static_cast<int32_t>(hostAddresses.size());
}

// Outside debug mode an index outside the list gives address 0.
int32_t hostIP(int32_t hostIndex) {
  if (hostIndex < 1 || static_cast<size_t>(hostIndex) > hostAddresses.size()) {
    if (debugMode) {
      runtimeError(kHostIndexOutOfRange);
    }
    return 0;
  }
  return asInt(hostAddresses[static_cast<size_t>(hostIndex - 1)]);
}

int32_t createUDPStream(int32_t port) {
  UdpStream* const stream = UdpStream::create(port);
  if (!stream) {
    return 0;
  }
  udpStreams.insert(stream);
  return handleOf(stream);
}

void closeUDPStream(int32_t handle) {
  if (UdpStream* const stream = liveUdp(handle)) {
    udpStreams.erase(stream);
    delete stream;
  }
}

void sendUDPMsg(int32_t handle, int32_t destIp, int32_t destPort) {
  if (UdpStream* const stream = liveUdp(handle)) {
    stream->send(static_cast<uint32_t>(destIp), destPort);
  }
}

int32_t recvUDPMsg(int32_t handle) {
  UdpStream* const stream = liveUdp(handle);
  return stream ? asInt(stream->receive()) : 0;
}

int32_t udpStreamIP(int32_t handle) {
  UdpStream* const stream = liveUdp(handle);
  return stream ? asInt(stream->local().ip) : 0;
}

int32_t udpStreamPort(int32_t handle) {
  UdpStream* const stream = liveUdp(handle);
  return stream ? stream->local().port : 0;
}

int32_t udpMsgIP(int32_t handle) {
  UdpStream* const stream = liveUdp(handle);
  return stream ? asInt(stream->source().ip) : 0;
}

int32_t udpMsgPort(int32_t handle) {
  UdpStream* const stream = liveUdp(handle);
  return stream ? stream->source().port : 0;
}

void udpTimeouts(int32_t recvTimeout) { socketTimeouts.udpReceive = recvTimeout; }

// A dotted address is used as it is; anything else is looked up and its first address
// taken.
int32_t openTCPStream(ksStr* server, int32_t serverPort, int32_t localPort) {
  const std::string name = ksStrTake(server);
  uint32_t ip = 0;
  if (!parseDottedAddress(name, ip)) {
    std::vector<uint32_t> addresses;
    if (!lookupHost(name, addresses)) {
      return 0;
    }
    ip = addresses.empty() ? 0 : addresses.front();
  }
  TcpStream* const stream = TcpStream::connect(ip, serverPort, localPort);
  if (!stream) {
    return 0;
  }
  tcpStreams.insert(stream);
  return handleOf(stream);
}

void closeTCPStream(int32_t handle) {
  if (TcpStream* const stream = liveTcp(handle)) {
    destroyTcp(stream);
  }
}

int32_t createTCPServer(int32_t port) {
  TcpServer* const server = TcpServer::listen(port);
  if (!server) {
    return 0;
  }
  tcpServers.insert(server);
  return handleOf(server);
}

void closeTCPServer(int32_t handle) {
  if (TcpServer* const server = liveServer(handle)) {
    destroyServer(server);
  }
}

// Pumps the window once per call, so a loop polling for connections stays responsive.
int32_t acceptTCPStream(int32_t handle) {
  TcpServer* const server = liveServer(handle);
  pumpOrEnd();
  if (!server) {
    return 0;
  }
  TcpStream* const stream = server->accept();
  if (!stream) {
    return 0;
  }
  tcpStreams.insert(stream);
  return handleOf(stream);
}

int32_t tcpStreamIP(int32_t handle) {
  TcpStream* const stream = liveTcp(handle);
  return stream ? asInt(stream->peer().ip) : 0;
}

int32_t tcpStreamPort(int32_t handle) {
  TcpStream* const stream = liveTcp(handle);
  return stream ? stream->peer().port : 0;
}

void tcpTimeouts(int32_t readMillis, int32_t acceptMillis) {
  socketTimeouts.tcpRead = readMillis;
  socketTimeouts.tcpAccept = acceptMillis;
}

}  // namespace netcmd

// The network is always there on Linux: nothing to start.
bool sockets_create() {
  socketTimeouts = SocketTimeouts{};  // UDP 0, TCP read 10 s, TCP accept 0
  hostAddresses.clear();
  return true;
}

void sockets_destroy() {
  while (!udpStreams.empty()) {
    UdpStream* const stream = *udpStreams.begin();
    udpStreams.erase(udpStreams.begin());
    delete stream;
  }
  while (!tcpStreams.empty()) {
    destroyTcp(*tcpStreams.begin());
  }
  while (!tcpServers.empty()) {
    destroyServer(*tcpServers.begin());
  }
  hostAddresses.clear();
}

void sockets_link(LinkCallback callback) {
  using namespace netcmd;
  callback("$DottedIP%IP", ksEntry<&dottedIP>());
  callback("%CountHostIPs$host_name", ksEntry<&countHostIPs>());
  callback("%HostIP%host_index", ksEntry<&hostIP>());
  callback("%CreateUDPStream%port=0", ksEntry<&createUDPStream>());
  callback("CloseUDPStream%udp_stream", ksEntry<&closeUDPStream>());
  callback("SendUDPMsg%udp_stream%dest_ip%dest_port=0", ksEntry<&sendUDPMsg>());
  callback("%RecvUDPMsg%udp_stream", ksEntry<&recvUDPMsg>());
  callback("%UDPStreamIP%udp_stream", ksEntry<&udpStreamIP>());
  callback("%UDPStreamPort%udp_stream", ksEntry<&udpStreamPort>());
  callback("%UDPMsgIP%udp_stream", ksEntry<&udpMsgIP>());
  callback("%UDPMsgPort%udp_stream", ksEntry<&udpMsgPort>());
  callback("UDPTimeouts%recv_timeout", ksEntry<&udpTimeouts>());
  callback("%OpenTCPStream$server%server_port%local_port=0", ksEntry<&openTCPStream>());
  callback("CloseTCPStream%tcp_stream", ksEntry<&closeTCPStream>());
  callback("%CreateTCPServer%port", ksEntry<&createTCPServer>());
  callback("CloseTCPServer%tcp_server", ksEntry<&closeTCPServer>());
  callback("%AcceptTCPStream%tcp_server", ksEntry<&acceptTCPStream>());
  callback("%TCPStreamIP%tcp_stream", ksEntry<&tcpStreamIP>());
  callback("%TCPStreamPort%tcp_stream", ksEntry<&tcpStreamPort>());
  callback("TCPTimeouts%read_millis%accept_millis", ksEntry<&tcpTimeouts>());
}
