// POSIX implementation of the stream-socket calls used by the HTTP client.
#include "platform/Sockets.h"

#include <arpa/inet.h>
#include <cerrno>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/select.h>
#include <sys/socket.h>
#include <unistd.h>

namespace plat {

namespace {
thread_local int tLastError = 0;

int TranslateErrno(int e) {
  switch (e) {
    case EINPROGRESS:
    case EWOULDBLOCK:
      return WSAEWOULDBLOCK;
    case ECONNREFUSED:
      return WSAECONNREFUSED;
    default:
      return e;
  }
}

int Fail() {
  tLastError = TranslateErrno(errno);
  return SOCKET_ERROR;
}
}  // namespace

int WSAStartup() { return 0; }
int WSACleanup() { return 0; }
int WSAGetLastError() { return tLastError; }

SOCKET OpenTcpSocket() {
  const int s = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, IPPROTO_TCP);
  if (s < 0) Fail();
  return s < 0 ? INVALID_SOCKET : s;
}

int closesocket(SOCKET s) { return ::close(s) == 0 ? 0 : Fail(); }

int SetNonBlocking(SOCKET s, bool on) {
  const int flags = ::fcntl(s, F_GETFL, 0);
  if (flags < 0) return Fail();
  const int wanted = on ? (flags | O_NONBLOCK) : (flags & ~O_NONBLOCK);
  return ::fcntl(s, F_SETFL, wanted) == 0 ? 0 : Fail();
}

std::uint32_t inet_addr(const std::string& text) {
  in_addr addr{};
  if (::inet_pton(AF_INET, text.c_str(), &addr) != 1) return INADDR_NONE;
  return addr.s_addr;
}

std::uint32_t LookupHostAddress(const std::string& host) {
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  if (::getaddrinfo(host.c_str(), nullptr, &hints, &found) != 0 || found == nullptr) return INADDR_NONE;
  std::uint32_t address = INADDR_NONE;
  for (addrinfo* a = found; a != nullptr; a = a->ai_next) {
    if (a->ai_family == AF_INET && a->ai_addr != nullptr) {
      address = reinterpret_cast<sockaddr_in*>(a->ai_addr)->sin_addr.s_addr;
      break;
    }
  }
  ::freeaddrinfo(found);
  return address;
}

int connect(SOCKET s, std::uint32_t address, int port) {
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_port = htons(static_cast<std::uint16_t>(port));
  to.sin_addr.s_addr = address;
  return ::connect(s, reinterpret_cast<sockaddr*>(&to), sizeof to) == 0 ? 0 : Fail();
}

int PendingConnectError(SOCKET s) {
  int error = 0;
  socklen_t size = sizeof error;
  if (::getsockopt(s, SOL_SOCKET, SO_ERROR, &error, &size) != 0) return TranslateErrno(errno);
  return error == 0 ? 0 : TranslateErrno(error);
}

int select(SOCKET s, bool forRead, bool forWrite, long timeoutMicroseconds, SocketReadiness* out) {
  if (s < 0 || s >= FD_SETSIZE) {
    tLastError = EBADF;
    return -1;
  }
  fd_set readSet, writeSet, exceptSet;
  FD_ZERO(&readSet);
  FD_ZERO(&writeSet);
  FD_ZERO(&exceptSet);
  if (forRead) FD_SET(s, &readSet);
  if (forWrite) FD_SET(s, &writeSet);
  FD_SET(s, &exceptSet);
  timeval timeout{timeoutMicroseconds / 1000000, timeoutMicroseconds % 1000000};
  const int n = ::select(s + 1, &readSet, &writeSet, &exceptSet, &timeout);
  if (n < 0) {
    if (errno == EINTR) return 0;
    return Fail();
  }
  if (out != nullptr) {
    out->readable = FD_ISSET(s, &readSet);
    out->writable = FD_ISSET(s, &writeSet);
    out->exceptional = FD_ISSET(s, &exceptSet);
  }
  return n > 0 ? 1 : 0;
}

SOCKET ListenLoopback(int* port) {
  const int s = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, IPPROTO_TCP);
  if (s < 0) {
    Fail();
    return INVALID_SOCKET;
  }
  const int yes = 1;
  ::setsockopt(s, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
  sockaddr_in at{};
  at.sin_family = AF_INET;
  at.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  at.sin_port = htons(static_cast<std::uint16_t>(port != nullptr ? *port : 0));
  socklen_t size = sizeof at;
  if (::bind(s, reinterpret_cast<sockaddr*>(&at), sizeof at) != 0 || ::listen(s, 8) != 0 ||
      ::getsockname(s, reinterpret_cast<sockaddr*>(&at), &size) != 0) {
    Fail();
    ::close(s);
    return INVALID_SOCKET;
  }
  if (port != nullptr) *port = ntohs(at.sin_port);
  return s;
}

SOCKET accept(SOCKET listening) {
  const int s = ::accept4(listening, nullptr, nullptr, SOCK_CLOEXEC);
  if (s < 0) Fail();
  return s < 0 ? INVALID_SOCKET : s;
}

int send(SOCKET s, const char* data, int length) {
  const ssize_t n = ::send(s, data, static_cast<std::size_t>(length), MSG_NOSIGNAL);
  return n < 0 ? Fail() : static_cast<int>(n);
}

int recv(SOCKET s, char* data, int length) {
  const ssize_t n = ::recv(s, data, static_cast<std::size_t>(length), 0);
  return n < 0 ? Fail() : static_cast<int>(n);
}

}  // namespace plat
