// Named mutexes as flock'd files and registered messages over Unix datagram sockets, both
// in the per-user runtime folder.
#include "platform/SingleInstance.h"

#include "platform/Crash.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <map>
#include <mutex>

namespace plat {

namespace {

thread_local DWORD tLastError = 0;

struct MutexObject {
  int fd = -1;
  bool owned = false;
};

struct Listener {
  int fd = -1;
  std::string path;
};

std::mutex gListenLock;
std::map<std::string, Listener>& Listeners() {
  static auto* listeners = new std::map<std::string, Listener>;
  return *listeners;
}

// File-system-safe form of a name: letters, digits, '-', '_' and '.'; the rest becomes '_'.
std::string SafeName(const std::string& name) {
  std::string out;
  for (char c : name) {
    bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '_' ||
              c == '.';
    out.push_back(ok ? c : '_');
  }
  if (out.size() > 60) {
    // Keep socket paths short: a long name becomes its start and a hash of the whole.
    std::size_t h = std::hash<std::string>{}(name);
    out = out.substr(0, 40) + "_" + std::to_string(h);
  }
  return out;
}

std::string SocketPath(const std::string& name) {
  return RuntimeFolder() + "/quorvane-" + std::to_string(getuid()) + "-" + SafeName(name) + ".sock";
}

bool FillAddress(const std::string& path, sockaddr_un* addr) {
  std::memset(addr, 0, sizeof(*addr));
  addr->sun_family = AF_UNIX;
  if (path.size() >= sizeof(addr->sun_path)) return false;
  std::memcpy(addr->sun_path, path.c_str(), path.size() + 1);
  return true;
}

}  // namespace

std::string RuntimeFolder() {
  const char* dir = std::getenv("XDG_RUNTIME_DIR");
  struct stat st;
  if (dir && *dir && stat(dir, &st) == 0 && S_ISDIR(st.st_mode)) return dir;
  return "/tmp";
}

DWORD GetLastError() { return tLastError; }
void SetLastError(DWORD error) { tLastError = error; }

HANDLE CreateMutexA(void*, BOOL initialOwner, const char* name) {
  SetLastError(0);
  auto* m = new MutexObject;
  if (!name || !*name) return m;  // an unnamed mutex is private to this process
  std::string path = RuntimeFolder() + "/quorvane-" + std::to_string(getuid()) + "-" + SafeName(name) + ".lock";
  m->fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (m->fd < 0) return m;  // cannot tell: behave as the only instance
  if (flock(m->fd, LOCK_EX | LOCK_NB) == 0) {
    m->owned = initialOwner != FALSE;
    if (!m->owned) flock(m->fd, LOCK_UN);
    // A crash gives the lock up at once, even when its handler then stalls.
    if (m->owned) DropOnCrash(m->fd);
  } else if (errno == EWOULDBLOCK) {
    SetLastError(ERROR_ALREADY_EXISTS);
  }
  return m;
}

BOOL ReleaseMutex(HANDLE mutex) {
  auto* m = static_cast<MutexObject*>(mutex);
  if (!m || !m->owned) return FALSE;
  if (m->fd >= 0) flock(m->fd, LOCK_UN);
  m->owned = false;
  return TRUE;
}

BOOL CloseHandle(HANDLE handle) {
  auto* m = static_cast<MutexObject*>(handle);
  if (!m) return FALSE;
  if (m->fd >= 0) {
    KeepOnCrash(m->fd);
    close(m->fd);  // closing drops the lock
  }
  delete m;
  return TRUE;
}

bool ListenForRegisteredMessage(const std::string& name) {
  std::lock_guard<std::mutex> g(gListenLock);
  auto& listeners = Listeners();
  if (listeners.count(name)) return true;
  std::string path = SocketPath(name);
  sockaddr_un addr;
  if (!FillAddress(path, &addr)) return false;
  int fd = socket(AF_UNIX, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  if (bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)) != 0) {
    if (errno != EADDRINUSE) {
      close(fd);
      return false;
    }
    // Someone left a socket file. If a live process answers on it, it is theirs.
    int probe = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    bool alive = probe >= 0 && connect(probe, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)) == 0;
    if (probe >= 0) close(probe);
    if (alive) {
      close(fd);
      return false;
    }
    unlink(path.c_str());
    if (bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)) != 0) {
      close(fd);
      return false;
    }
  }
  listeners[name] = Listener{fd, path};
  DropOnCrash(fd);
  return true;
}

void SendRegisteredMessage(const std::string& name) {
  sockaddr_un addr;
  if (!FillAddress(SocketPath(name), &addr)) return;
  int fd = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return;
  sendto(fd, name.data(), name.size(), MSG_DONTWAIT | MSG_NOSIGNAL, reinterpret_cast<sockaddr*>(&addr), sizeof(addr));
  close(fd);
}

void PollRegisteredMessages(const std::function<void(const std::string&)>& deliver) {
  std::vector<std::string> received;
  {
    std::lock_guard<std::mutex> g(gListenLock);
    for (auto& [name, l] : Listeners()) {
      char buf[512];
      for (;;) {
        ssize_t n = recv(l.fd, buf, sizeof(buf), MSG_DONTWAIT);
        if (n < 0) break;
        // Only the exact name counts; anything else on the socket is ignored.
        if (std::string(buf, static_cast<std::size_t>(n)) == name) received.push_back(name);
      }
    }
  }
  for (auto& name : received) deliver(name);
}

void StopListeningForRegisteredMessages() {
  std::lock_guard<std::mutex> g(gListenLock);
  for (auto& [name, l] : Listeners()) {
    KeepOnCrash(l.fd);
    close(l.fd);
    unlink(l.path.c_str());
  }
  Listeners().clear();
}

}  // namespace plat
