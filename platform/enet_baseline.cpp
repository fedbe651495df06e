// The bare ENet baseline of the multiplayer benchmarks.
#include "platform/enet_baseline.h"

#include <enet/enet.h>
#include <poll.h>
#include <unistd.h>

#include <vector>

#include "platform/session_query.h"

void runBareEnetEcho(int readyFd, int stopFd) {
  if (!startNetworking()) {
    return;
  }
  ENetAddress any{};
  any.host = ENET_HOST_ANY;
  any.port = 0;
  ENetHost* host = enet_host_create(&any, 4, 2, 0, 0);
  if (!host) {
    return;
  }
  ENetAddress bound{};
  enet_socket_get_address(host->socket, &bound);
  const uint8_t port[2] = {uint8_t(bound.port), uint8_t(bound.port >> 8)};
  if (write(readyFd, port, 2) != 2) {
    enet_host_destroy(host);
    return;
  }
  for (;;) {
    pollfd stop{stopFd, POLLIN, 0};
    if (poll(&stop, 1, 0) > 0) {
      break;
    }
    ENetEvent event;
    if (enet_host_service(host, &event, 10) > 0 && event.type == ENET_EVENT_TYPE_RECEIVE) {
      ENetPacket* echo = enet_packet_create(event.packet->data, event.packet->dataLength, event.packet->flags);
      enet_peer_send(event.peer, event.channelID, echo);
      enet_packet_destroy(event.packet);
      enet_host_flush(host);
    }
  }
  enet_host_destroy(host);
}

BareEnetClient::BareEnetClient() {
  if (startNetworking()) {
    host_ = enet_host_create(nullptr, 1, 2, 0, 0);
  }
}

BareEnetClient::~BareEnetClient() {
  if (host_) {
    if (peer_) {
      enet_peer_disconnect_now(static_cast<ENetPeer*>(peer_), 0);
    }
    enet_host_destroy(static_cast<ENetHost*>(host_));
  }
}

bool BareEnetClient::connect(uint16_t port) {
  if (!host_) {
    return false;
  }
  ENetAddress address{};
  enet_address_set_host_ip(&address, "127.0.0.1");
  address.port = port;
  ENetPeer* peer = enet_host_connect(static_cast<ENetHost*>(host_), &address, 2, 0);
  ENetEvent event;
  for (int i = 0; peer && i < 500; ++i) {
    if (enet_host_service(static_cast<ENetHost*>(host_), &event, 20) > 0 && event.type == ENET_EVENT_TYPE_CONNECT) {
      peer_ = peer;
      return true;
    }
  }
  return false;
}

bool BareEnetClient::roundTrip(size_t size, bool reliable) {
  ENetHost* host = static_cast<ENetHost*>(host_);
  const std::vector<uint8_t> bytes(size, 0x5A);
  ENetPacket* packet = enet_packet_create(bytes.data(), size, reliable ? ENET_PACKET_FLAG_RELIABLE : 0);
  enet_peer_send(static_cast<ENetPeer*>(peer_), reliable ? 0 : 1, packet);
  enet_host_flush(host);
  ENetEvent event;
  for (int i = 0; i < 100; ++i) {
    if (enet_host_service(host, &event, 10) > 0 && event.type == ENET_EVENT_TYPE_RECEIVE) {
      enet_packet_destroy(event.packet);
      return true;
    }
  }
  return false;
}
