/* Waits long on a socket: a UDP receive ("udp"), a TCP accept ("accept") or a TCP read
 * from a connection nobody writes to ("read"), each with a 60-second time-out, or TCP
 * connects to a server whose backlog is full ("connect"), which wait for the system's
 * own time-out. The waits pump the window, so an end request ends the program long
 * before; the last line is logged only when the waits ran their course. */
#include "kestrel.h"

static struct ksStr* mode;

static int is(const char* name) {
  return __ksStrCompare(__ksStrLoad(&mode), __ksStrConst(name)) == 0;
}

void __MAIN(void) {
  __ksStrStore(&mode, _ftrim(_fcommandline()));
  /* A free port number, from a UDP stream on port 0, for a TCP server of our own. */
  int probe = _fcreateudpstream(0);
  int port = _fudpstreamport(probe);
  _fcloseudpstream(probe);
  int server = _fcreatetcpserver(port);
  if (is("udp")) {
    int udp = _fcreateudpstream(0);
    _fudptimeouts(60000);
    _fdebuglog(__ksStrConst("Waiting"));
    _frecvudpmsg(udp);
  } else if (is("accept")) {
    _ftcptimeouts(60000, 60000);
    _fdebuglog(__ksStrConst("Waiting"));
    _faccepttcpstream(server);
  } else if (is("connect")) {
    /* The server never accepts: once its backlog is full, a connect waits on the system. */
    _fdebuglog(__ksStrConst("Waiting"));
    for (int i = 0; i < 20; ++i) {
      _fopentcpstream(__ksStrConst("127.0.0.1"), port, 0);
    }
  } else {
    int stream = _fopentcpstream(__ksStrConst("127.0.0.1"), port, 0);
    _ftcptimeouts(60000, 0);
    if (server != 0 && stream != 0) {
      _fdebuglog(__ksStrConst("Waiting"));
    }
    _freadint(stream);
  }
  _fdebuglog(__ksStrConst("The wait ran its course"));
  __ksStrStore(&mode, 0);
}
