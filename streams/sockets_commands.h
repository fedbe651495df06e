// The sockets module's handlers: host lookup, UDP streams, TCP streams and servers,
// and the time-outs. The one string argument is released by its command.
#pragma once
#include <cstdint>

#include "basic/ks_str.h"

namespace netcmd {

ksStr* dottedIP(int32_t ip);
int32_t countHostIPs(ksStr* hostName);
int32_t hostIP(int32_t hostIndex);
int32_t createUDPStream(int32_t port);
void closeUDPStream(int32_t udpStream);
void sendUDPMsg(int32_t udpStream, int32_t destIp, int32_t destPort);
int32_t recvUDPMsg(int32_t udpStream);
int32_t udpStreamIP(int32_t udpStream);
int32_t udpStreamPort(int32_t udpStream);
int32_t udpMsgIP(int32_t udpStream);
int32_t udpMsgPort(int32_t udpStream);
void udpTimeouts(int32_t recvTimeout);
int32_t openTCPStream(ksStr* server, int32_t serverPort, int32_t localPort);
void closeTCPStream(int32_t tcpStream);
int32_t createTCPServer(int32_t port);
void closeTCPServer(int32_t tcpServer);
int32_t acceptTCPStream(int32_t tcpServer);
int32_t tcpStreamIP(int32_t tcpStream);
int32_t tcpStreamPort(int32_t tcpStream);
void tcpTimeouts(int32_t readMillis, int32_t acceptMillis);

}  // namespace netcmd
