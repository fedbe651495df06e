// Network throughput through the registered entries, against plain socket calls doing
// the same work in the same run: 64 KB banks over a loopback TCP connection
// (WriteBytes/ReadBytes against send/recv), and 32-byte UDP round trips
// (SendUDPMsg/RecvUDPMsg with the bank transfers against sendto/recvfrom).
#include <arpa/inet.h>
#include <benchmark/benchmark.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>
#include <map>
#include <string>
#include <thread>

#include "basic/ks_str.h"
#include "bench/streams/ratio_report.h"
#include "runtime/modules.h"

namespace {

constexpr int kChunk = 64 * 1024;
constexpr int kMessage = 32;
constexpr uint32_t kLoopback = 0x7F000001;

std::map<std::string, void*> entries;
void collect(CommandSignature signature, void* entry) { entries[signature] = entry; }

template <typename Function>
Function entry(const char* signature) {
  return reinterpret_cast<Function>(entries.at(signature));
}

using BankIO = int32_t (*)(int32_t, int32_t, int32_t, int32_t);
using OneArg = int32_t (*)(int32_t);

sockaddr_in loopback(uint16_t port) {
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(kLoopback);
  a.sin_port = htons(port);
  return a;
}

uint16_t portOf(int fd) {
  sockaddr_in a{};
  socklen_t n = sizeof a;
  ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &n);
  return ntohs(a.sin_port);
}

int boundSocket(int type) {
  const int fd = ::socket(AF_INET, type, 0);
  sockaddr_in a = loopback(0);
  ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
  return fd;
}

// A connected pair of plain TCP sockets on loopback.
void rawPair(int& client, int& server) {
  const int listener = boundSocket(SOCK_STREAM);
  ::listen(listener, 1);
  const sockaddr_in a = loopback(portOf(listener));
  client = ::socket(AF_INET, SOCK_STREAM, 0);
  ::connect(client, reinterpret_cast<const sockaddr*>(&a), sizeof a);
  server = ::accept(listener, nullptr, nullptr);
  ::close(listener);
}

void BM_RawSendRecv64K(benchmark::State& state) {
  int client, server;
  rawPair(client, server);
  std::thread reader([server] {
    static char buffer[kChunk];
    for (;;) {
      size_t got = 0;
      while (got < sizeof buffer) {
        const ssize_t n = ::recv(server, buffer + got, sizeof buffer - got, 0);
        if (n <= 0) {
          return;
        }
        got += static_cast<size_t>(n);
      }
    }
  });
  static char data[kChunk];
  for (auto _ : state) {
    size_t sent = 0;
    while (sent < sizeof data) {
      sent += static_cast<size_t>(::send(client, data + sent, sizeof data - sent, 0));
    }
  }
  ::shutdown(client, SHUT_WR);
  reader.join();
  ::close(client);
  ::close(server);
  state.SetBytesProcessed(state.iterations() * kChunk);
}

// Both ends are streams of ours: a server's accepted stream reads on a thread of its
// own what the connecting stream writes.
void BM_WriteBytesReadBytes64K(benchmark::State& state) {
  const auto writeBytes = entry<BankIO>("%WriteBytes%bank%file%offset%count");
  const auto readBytes = entry<BankIO>("%ReadBytes%bank%file%offset%count");
  const auto createBank = entry<OneArg>("%CreateBank%size=0");
  const int probe = boundSocket(SOCK_STREAM);
  const uint16_t port = portOf(probe);
  ::close(probe);
  const int32_t server = entry<OneArg>("%CreateTCPServer%port")(port);
  const int32_t client = entry<int32_t (*)(ksStr*, int32_t, int32_t)>(
      "%OpenTCPStream$server%server_port%local_port=0")(ksStrNew("127.0.0.1"), port, 0);
  entry<void (*)(int32_t, int32_t)>("TCPTimeouts%read_millis%accept_millis")(10000, 10000);
  const int32_t accepted = entry<OneArg>("%AcceptTCPStream%tcp_server")(server);
  if (server == 0 || client == 0 || accepted == 0) {
    state.SkipWithError("no loopback connection");
    return;
  }
  const int32_t outBank = createBank(kChunk);
  const int32_t inBank = createBank(kChunk);
  std::thread reader([&] {
    while (readBytes(inBank, accepted, 0, kChunk) == kChunk) {
    }
  });
  for (auto _ : state) {
    writeBytes(outBank, client, 0, kChunk);
  }
  entry<void (*)(int32_t)>("CloseTCPStream%tcp_stream")(client);
  reader.join();
  entry<void (*)(int32_t)>("CloseTCPServer%tcp_server")(server);
  state.SetBytesProcessed(state.iterations() * kChunk);
}

void BM_RawUdpRoundTrip(benchmark::State& state) {
  const int a = boundSocket(SOCK_DGRAM);
  const int b = boundSocket(SOCK_DGRAM);
  const sockaddr_in toA = loopback(portOf(a));
  const sockaddr_in toB = loopback(portOf(b));
  char message[kMessage] = {};
  char buffer[65536];
  for (auto _ : state) {
    ::sendto(a, message, kMessage, 0, reinterpret_cast<const sockaddr*>(&toB), sizeof toB);
    sockaddr_in from{};
    socklen_t n = sizeof from;
    ::recvfrom(b, buffer, sizeof buffer, 0, reinterpret_cast<sockaddr*>(&from), &n);
    ::sendto(b, buffer, kMessage, 0, reinterpret_cast<const sockaddr*>(&toA), sizeof toA);
    n = sizeof from;
    ::recvfrom(a, buffer, sizeof buffer, 0, reinterpret_cast<sockaddr*>(&from), &n);
    std::memcpy(message, buffer, kMessage);
  }
  ::close(a);
  ::close(b);
}

void BM_SendRecvUDPMsg(benchmark::State& state) {
  const auto writeBytes = entry<BankIO>("%WriteBytes%bank%file%offset%count");
  const auto readBytes = entry<BankIO>("%ReadBytes%bank%file%offset%count");
  const auto send =
      entry<void (*)(int32_t, int32_t, int32_t)>("SendUDPMsg%udp_stream%dest_ip%dest_port=0");
  const auto receive = entry<OneArg>("%RecvUDPMsg%udp_stream");
  const auto create = entry<OneArg>("%CreateUDPStream%port=0");
  const auto portOfStream = entry<OneArg>("%UDPStreamPort%udp_stream");
  entry<void (*)(int32_t)>("UDPTimeouts%recv_timeout")(10000);
  const int32_t a = create(0);
  const int32_t b = create(0);
  const int32_t bank = entry<OneArg>("%CreateBank%size=0")(kMessage);
  const int32_t ip = static_cast<int32_t>(kLoopback);
  const int32_t portA = portOfStream(a);
  const int32_t portB = portOfStream(b);
  for (auto _ : state) {
    writeBytes(bank, a, 0, kMessage);
    send(a, ip, portB);
    receive(b);
    readBytes(bank, b, 0, kMessage);
    writeBytes(bank, b, 0, kMessage);
    send(b, ip, portA);
    receive(a);
    readBytes(bank, a, 0, kMessage);
  }
  entry<void (*)(int32_t)>("CloseUDPStream%udp_stream")(a);
  entry<void (*)(int32_t)>("CloseUDPStream%udp_stream")(b);
}

BENCHMARK(BM_RawSendRecv64K)->Repetitions(3)->UseRealTime();
BENCHMARK(BM_WriteBytesReadBytes64K)->Repetitions(3)->UseRealTime();
BENCHMARK(BM_RawUdpRoundTrip)->Repetitions(3);
BENCHMARK(BM_SendRecvUDPMsg)->Repetitions(3);

}  // namespace

int main(int argc, char** argv) {
  sockets_link(collect);
  bank_link(collect);
  sockets_create();
  bank_create();
  // Throughput at least 0.8 of the plain calls': time at most 1.25 times theirs.
  const int result = runWithRatios(argc, argv,
                                   {{"BM_WriteBytesReadBytes64K", "BM_RawSendRecv64K", 1.25},
                                    {"BM_SendRecvUDPMsg", "BM_RawUdpRoundTrip", 1.25}});
  bank_destroy();
  sockets_destroy();
  return result;
}
