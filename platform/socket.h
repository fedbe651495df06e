// IPv4 sockets for the TCP and UDP streams: the one place that calls the POSIX socket
// interface. Descriptors are plain ints, addresses and ports are in host order, and no
// call here waits longer than it is told to.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

struct SocketAddress {
  uint32_t ip = 0;    // host order: 127.0.0.1 is 0x7F000001
  uint16_t port = 0;  // host order
};

enum class SocketReady { Read, Write };

// The addresses a host name stands for, in the resolver's order, without repeats.
// False when the lookup fails.
bool lookupHost(const std::string& name, std::vector<uint32_t>& addresses);
// A dotted address ("127.0.0.1", also the short forms inet_aton takes).
bool parseDottedAddress(const std::string& text, uint32_t& ip);

// A datagram socket bound to all local interfaces and the port (0: any free one);
// -1 on failure.
int openUdpSocket(uint16_t port);
// A listening stream socket on all local interfaces; -1 on failure. Accepting from it
// never waits (see acceptConnection).
int openTcpListener(uint16_t port, int backlog);
// Starts connecting a stream socket to the address (localPort != 0 binds the local end
// first); -1 on failure. pending is set while the connection is still being made: the
// socket becomes writable when it is made or has failed (connectResult tells which),
// within the system's own connect time-out.
int startTcpConnect(SocketAddress to, uint16_t localPort, bool& pending);
// 0 when the pending connection was made, -1 when it failed.
int connectResult(int fd);
// The next pending connection, or -1: *transient is set when the failure concerns that
// one connection only (it was reset before it could be taken, or none is pending).
int acceptConnection(int listener, SocketAddress& peer, bool& transient);
void closeSocket(int fd);

bool localAddress(int fd, SocketAddress& address);
bool peerAddress(int fd, SocketAddress& address);

// Waits up to millis (0: just looks) for the socket to become ready; 1 ready, 0 not
// within the time, -1 error.
int waitSocket(int fd, SocketReady what, int millis);
// Bytes that can be read now; -1 on failure.
int pendingBytes(int fd);

// The result of a send or receive that never waits: a count, or one of these.
constexpr int kSocketWouldWait = -2;
constexpr int kSocketFailed = -1;

// Receives up to count bytes now; 0 when the peer closed.
int receiveNow(int fd, void* buffer, int count);
// Sends what the system takes now, never raising SIGPIPE on a closed connection.
int sendNow(int fd, const void* buffer, int count);
// An error notice about an earlier datagram (its port was unreachable): the socket
// itself is still sound.
constexpr int kSocketNotice = -3;

// One datagram: its full length is returned even when it was longer than count;
// kSocketNotice when an error notice was taken instead.
int receiveDatagramNow(int fd, void* buffer, int count, SocketAddress& from);
// Sends one datagram; the count sent or kSocketFailed.
int sendDatagram(int fd, const void* buffer, int count, SocketAddress to);
// What the next read would find, without taking it: 1 data waiting, 0 the peer closed,
// kSocketWouldWait nothing yet, kSocketFailed an error (a reset connection).
int peekState(int fd);
