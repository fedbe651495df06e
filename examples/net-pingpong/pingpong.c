/* Ping-pong over TCP and UDP between two runs of ksrun on this machine.
 *
 *   ksrun pingpong.ksm serve 40000    waits for a player on TCP and UDP port 40000
 *   ksrun pingpong.ksm join 40000     plays three rounds over each
 *
 * Over TCP the player sends lines ("ping 1") and the server answers each ("pong 1");
 * over UDP the player sends a datagram holding an int and the server sends ten times
 * that back to whoever sent it. Either side may start first: the player retries its
 * connection for half a minute. Every step is logged ([log] lines on standard error). */
#include "kestrel_runtime.h"

#define ROUNDS 3
#define TRIES 150 /* of 200 ms each: half a minute */

static struct ksStr* command;
static struct ksStr* text;

static void say(const char* what, struct ksStr* more) {
  _fdebuglog(__ksStrConcat(__ksStrConst(what), more));
}

static void serve(int port) {
  int server = _fcreatetcpserver(port);
  int udp = _fcreateudpstream(port);
  if (server == 0 || udp == 0) {
    say("Cannot serve on port ", __ksStrFromInt(port));
    return;
  }
  say("Serving on TCP and UDP port ", __ksStrFromInt(port));
  /* Each AcceptTCPStream waits up to 200 ms and keeps the window responsive. */
  _ftcptimeouts(10000, 200);
  int player = 0;
  for (int i = 0; i < TRIES && player == 0; ++i) {
    player = _faccepttcpstream(server);
  }
  if (player == 0) {
    say("Nobody came", __ksStrConst(""));
    return;
  }
  say("Player connected from ", _fdottedip(_ftcpstreamip(player)));
  for (int round = 1; round <= ROUNDS; ++round) {
    __ksStrStore(&text, _freadline(player));
    say("TCP got: ", __ksStrLoad(&text));
    _fwriteline(player, _freplace(__ksStrLoad(&text), __ksStrConst("ping"), __ksStrConst("pong")));
  }
  _fudptimeouts(10000);
  for (int round = 1; round <= ROUNDS; ++round) {
    if (_frecvudpmsg(udp) == 0) {
      say("No datagram in round ", __ksStrFromInt(round));
      break;
    }
    int value = _freadint(udp);
    say("UDP got: ", __ksStrFromInt(value));
    _fwriteint(udp, value * 10);
    _fsendudpmsg(udp, _fudpmsgip(udp), _fudpmsgport(udp));
  }
  _fclosetcpserver(server); /* also closes the player's stream */
  _fcloseudpstream(udp);
  say("Server done", __ksStrConst(""));
}

static void join(int port) {
  int stream = 0;
  for (int i = 0; i < TRIES && stream == 0; ++i) {
    stream = _fopentcpstream(__ksStrConst("127.0.0.1"), port, 0);
    if (stream == 0) {
      _fdelay(200);
    }
  }
  if (stream == 0) {
    say("No server on port ", __ksStrFromInt(port));
    return;
  }
  say("Connected to ", _fdottedip(_ftcpstreamip(stream)));
  for (int round = 1; round <= ROUNDS; ++round) {
    _fwriteline(stream, __ksStrConcat(__ksStrConst("ping "), __ksStrFromInt(round)));
    say("TCP reply: ", _freadline(stream));
  }
  int udp = _fcreateudpstream(0);
  int server = _fcounthostips(__ksStrConst("localhost")) > 0 ? _fhostip(1) : 0;
  _fudptimeouts(10000);
  for (int round = 1; round <= ROUNDS; ++round) {
    _fwriteint(udp, round);
    _fsendudpmsg(udp, server, port);
    if (_frecvudpmsg(udp) == 0) {
      say("No UDP reply in round ", __ksStrFromInt(round));
      break;
    }
    say("UDP reply: ", __ksStrFromInt(_freadint(udp)));
  }
  _fclosetcpstream(stream);
  _fcloseudpstream(udp);
  say("Player done", __ksStrConst(""));
}

void __MAIN(void) {
  __ksStrStore(&command, _ftrim(_fcommandline()));
  int space = _finstr(__ksStrLoad(&command), __ksStrConst(" "), 1);
  int port = space > 0 ? __ksStrToInt(_fmid(__ksStrLoad(&command), space + 1, -1)) : 40000;
  __ksStrStore(&text, _flower(_fleft(__ksStrLoad(&command), space > 0 ? space - 1 : 100)));
  if (__ksStrCompare(__ksStrLoad(&text), __ksStrConst("serve")) == 0) {
    serve(port);
  } else if (__ksStrCompare(__ksStrLoad(&text), __ksStrConst("join")) == 0) {
    join(port);
  } else {
    say("Say serve PORT or join PORT, not: ", __ksStrLoad(&command));
  }
  __ksStrStore(&text, 0);
  __ksStrStore(&command, 0);
}
