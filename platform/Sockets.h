// Stream sockets for the HTTP client, over POSIX sockets. The calls keep the names and
// result conventions of the Windows sockets API the framework was written against:
// INVALID_SOCKET and SOCKET_ERROR for failures, WSAGetLastError for the reason.
#pragma once

#include <cstdint>
#include <string>

namespace plat {

using SOCKET = int;
constexpr SOCKET INVALID_SOCKET = -1;
constexpr int SOCKET_ERROR = -1;
constexpr std::uint32_t INADDR_NONE = 0xFFFFFFFFu;

// Error codes that WSAGetLastError reports for the cases callers tell apart.
constexpr int WSAEWOULDBLOCK = 10035;
constexpr int WSAECONNREFUSED = 10061;

// Nothing to start or stop on POSIX; both succeed and keep the pairing the callers expect.
int WSAStartup();
int WSACleanup();
int WSAGetLastError();

// A TCP stream socket (AF_INET, SOCK_STREAM, IPPROTO_TCP).
SOCKET OpenTcpSocket();
int closesocket(SOCKET s);
// FIONBIO: switches non-blocking mode on (true) or off.
int SetNonBlocking(SOCKET s, bool on);

// A dotted IPv4 address in network byte order, INADDR_NONE when the text is not one.
std::uint32_t inet_addr(const std::string& text);
// The first IPv4 address of a host name, in network byte order; INADDR_NONE when unknown.
std::uint32_t LookupHostAddress(const std::string& host);

// Connects to (address in network order, port). A non-blocking socket returns
// SOCKET_ERROR with WSAGetLastError() == WSAEWOULDBLOCK while the connection is under way.
int connect(SOCKET s, std::uint32_t address, int port);
// The outcome of a non-blocking connect once the socket is writable: 0 when connected,
// else the error code.
int PendingConnectError(SOCKET s);

// select on one socket with a timeout in microseconds. Returns -1 on error, 0 on timeout,
// else 1 with the flags telling which of the asked-for conditions hold.
struct SocketReadiness {
  bool readable = false;
  bool writable = false;
  bool exceptional = false;
};
int select(SOCKET s, bool forRead, bool forWrite, long timeoutMicroseconds, SocketReadiness* out);

// A blocking TCP socket listening on 127.0.0.1; *port 0 picks a free port and reports it.
// Used by loopback servers (tests of the HTTP client).
SOCKET ListenLoopback(int* port);
// Accepts one connection on a listening socket (blocking).
SOCKET accept(SOCKET listening);

// send and recv; a closed peer never raises a signal.
int send(SOCKET s, const char* data, int length);
int recv(SOCKET s, char* data, int length);

}  // namespace plat
