// File services over POSIX: names with '\' and any letter case are resolved component by
// component against the disk, searches list folders sorted by name, and reads at an offset
// use pread.
#include "platform/Files.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <limits>
#include <map>
#include <memory>
#include <mutex>
#include <utility>
#include <vector>

namespace plat {

namespace {

char ToUpperAscii(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

bool EqualsNoCase(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (ToUpperAscii(a[i]) != ToUpperAscii(b[i])) return false;
  }
  return true;
}

bool Exists(const std::string& path) {
  struct stat st{};
  return ::lstat(path.c_str(), &st) == 0;
}

// Names of a folder, sorted as Windows lists them: by upper-cased name, then byte-wise.
std::vector<std::string> ListFolder(const std::string& folder) {
  std::vector<std::string> names;
  DIR* dir = ::opendir(folder.empty() ? "." : folder.c_str());
  if (dir == nullptr) return names;
  while (dirent* ent = ::readdir(dir)) {
    std::string n = ent->d_name;
    if (n == "." || n == "..") continue;
    names.push_back(std::move(n));
  }
  ::closedir(dir);
  std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
    std::string ua = a, ub = b;
    std::transform(ua.begin(), ua.end(), ua.begin(), ToUpperAscii);
    std::transform(ub.begin(), ub.end(), ub.begin(), ToUpperAscii);
    return ua != ub ? ua < ub : a < b;
  });
  return names;
}

std::string JoinPath(const std::string& folder, const std::string& name) {
  if (folder.empty()) return name;
  if (folder.back() == '/') return folder + name;
  return folder + "/" + name;
}

// '*' any run, '?' any one character, compared without regard to case. "*.*" matches
// every name, dotted or not, as on Windows.
bool WildcardMatch(const char* pattern, const char* name) {
  if (std::strcmp(pattern, "*.*") == 0) return true;
  const char* starP = nullptr;
  const char* starN = nullptr;
  while (*name != '\0') {
    if (*pattern == '*') {
      starP = pattern++;
      starN = name;
    } else if (*pattern == '?' || (*pattern != '\0' && ToUpperAscii(*pattern) == ToUpperAscii(*name))) {
      ++pattern;
      ++name;
    } else if (starP != nullptr) {
      pattern = starP + 1;
      name = ++starN;
    } else {
      return false;
    }
  }
  while (*pattern == '*') ++pattern;
  return *pattern == '\0';
}

void FillFindData(const std::string& folder, const std::string& name, WIN32_FIND_DATA* data) {
  *data = WIN32_FIND_DATA{};
  struct stat st{};
  if (::stat(JoinPath(folder, name).c_str(), &st) == 0) {
    data->dwFileAttributes = S_ISDIR(st.st_mode) ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_NORMAL;
    if ((st.st_mode & S_IWUSR) == 0) data->dwFileAttributes |= FILE_ATTRIBUTE_READONLY;
    const auto size = static_cast<unsigned long long>(st.st_size);
    data->nFileSizeLow = static_cast<DWORD>(size & 0xFFFFFFFFu);
    data->nFileSizeHigh = static_cast<DWORD>(size >> 32);
    data->ftCreationTime = FileTimeFromUnixSeconds(st.st_ctime);
    data->ftLastAccessTime = FileTimeFromUnixSeconds(st.st_atime);
    data->ftLastWriteTime = FileTimeFromUnixSeconds(st.st_mtime);
  }
  std::strncpy(data->cFileName, name.c_str(), MAX_PATH - 1);
}

struct FindState {
  std::string folder;
  std::vector<std::string> matches;
  std::size_t next = 0;
};

}  // namespace

std::string ResolveFileName(const std::string& name) {
  std::string path = name;
  std::replace(path.begin(), path.end(), '\\', '/');
  if (path.empty() || Exists(path)) return path;

  const bool absolute = path[0] == '/';
  const bool trailingSlash = path.size() > 1 && path.back() == '/';
  std::string resolved = absolute ? "/" : "";
  std::size_t pos = absolute ? 1 : 0;
  bool matching = true;
  while (pos <= path.size()) {
    std::size_t end = path.find('/', pos);
    if (end == std::string::npos) end = path.size();
    std::string component = path.substr(pos, end - pos);
    pos = end + 1;
    if (component.empty()) continue;
    if (matching && component != "." && component != ".." && !Exists(JoinPath(resolved, component))) {
      matching = false;
      for (const std::string& candidate : ListFolder(resolved)) {
        if (EqualsNoCase(candidate, component)) {
          component = candidate;
          matching = true;
          break;
        }
      }
    }
    resolved = JoinPath(resolved, component);
  }
  if (trailingSlash) resolved += '/';
  return resolved;
}

std::FILE* OpenFileStream(const char* name, const char* mode) {
  if (name == nullptr || mode == nullptr) return nullptr;
  const std::string path = ResolveFileName(name);
  // A folder is not a file, as on Windows (fopen would accept it here for reading), and a
  // pipe is refused because opening it would wait for the other end.
  struct stat st{};
  if (::stat(path.c_str(), &st) == 0 && (S_ISDIR(st.st_mode) || S_ISFIFO(st.st_mode) || S_ISSOCK(st.st_mode)))
    return nullptr;
  return std::fopen(path.c_str(), mode);
}

bool ReadRegularFile(const std::string& name, std::size_t maxBytes, std::vector<unsigned char>* bytes,
                     std::string* why) {
  auto fail = [why](const std::string& text) {
    if (why != nullptr) *why = text;
    return false;
  };
  const std::string path = ResolveFileName(name);
  // Non-blocking, so that a pipe without a writer does not hold the open; the kind is then
  // checked on the open file itself.
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return fail(std::strerror(errno));
  struct stat st{};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    return fail(S_ISDIR(st.st_mode) ? "is a folder" : "is not a plain file");
  }
  if (st.st_size < 0 || static_cast<unsigned long long>(st.st_size) > maxBytes) {
    ::close(fd);
    return fail("is larger than " + std::to_string(maxBytes) + " bytes");
  }
  // A file that shrinks meanwhile gives what is there; one that grows gives the size seen.
  std::vector<unsigned char> data(static_cast<std::size_t>(st.st_size));
  std::size_t got = 0;
  while (got < data.size()) {
    const ssize_t n = ::read(fd, data.data() + got, data.size() - got);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      const int error = errno;
      ::close(fd);
      return fail(std::strerror(error));
    }
    if (n == 0) break;
    got += static_cast<std::size_t>(n);
  }
  ::close(fd);
  data.resize(got);
  *bytes = std::move(data);
  return true;
}

HANDLE FindFirstFile(const char* pattern, WIN32_FIND_DATA* data) {
  if (pattern == nullptr || data == nullptr) return INVALID_HANDLE_VALUE;
  std::string path = pattern;
  std::replace(path.begin(), path.end(), '\\', '/');
  const std::size_t slash = path.rfind('/');
  const std::string last = slash == std::string::npos ? path : path.substr(slash + 1);
  if (last.empty()) return INVALID_HANDLE_VALUE;
  const std::string folder = slash == std::string::npos ? std::string() : ResolveFileName(path.substr(0, slash + 1));

  auto state = std::make_unique<FindState>();
  state->folder = folder;
  for (const std::string& n : ListFolder(folder)) {
    if (WildcardMatch(last.c_str(), n.c_str())) state->matches.push_back(n);
  }
  if (state->matches.empty()) return INVALID_HANDLE_VALUE;
  FillFindData(state->folder, state->matches[0], data);
  state->next = 1;
  return state.release();
}

BOOL FindNextFile(HANDLE search, WIN32_FIND_DATA* data) {
  if (search == nullptr || search == INVALID_HANDLE_VALUE || data == nullptr) return FALSE;
  auto* state = static_cast<FindState*>(search);
  if (state->next >= state->matches.size()) return FALSE;
  FillFindData(state->folder, state->matches[state->next++], data);
  return TRUE;
}

BOOL FindClose(HANDLE search) {
  if (search == nullptr || search == INVALID_HANDLE_VALUE) return FALSE;
  delete static_cast<FindState*>(search);
  return TRUE;
}

DWORD GetFileAttributes(const char* name) {
  if (name == nullptr) return INVALID_FILE_ATTRIBUTES;
  struct stat st{};
  if (::stat(ResolveFileName(name).c_str(), &st) != 0) return INVALID_FILE_ATTRIBUTES;
  DWORD attributes = S_ISDIR(st.st_mode) ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_NORMAL;
  if ((st.st_mode & S_IWUSR) == 0) attributes |= FILE_ATTRIBUTE_READONLY;
  return attributes;
}

BOOL CreateDirectory(const char* name, void*) {
  if (name == nullptr) return FALSE;
  return ::mkdir(ResolveFileName(name).c_str(), 0755) == 0 ? TRUE : FALSE;
}

BOOL RemoveDirectory(const char* name) {
  if (name == nullptr) return FALSE;
  return ::rmdir(ResolveFileName(name).c_str()) == 0 ? TRUE : FALSE;
}

BOOL DeleteFile(const char* name) {
  if (name == nullptr) return FALSE;
  return ::unlink(ResolveFileName(name).c_str()) == 0 ? TRUE : FALSE;
}

BOOL MoveFile(const char* from, const char* to) {
  if (from == nullptr || to == nullptr) return FALSE;
  const std::string target = ResolveFileName(to);
  if (Exists(target)) return FALSE;
  return std::rename(ResolveFileName(from).c_str(), target.c_str()) == 0 ? TRUE : FALSE;
}

namespace {

std::atomic<FileWriteHook> gFileWriteHook{nullptr};

// The hook's verdict on a step: 0 to go on, else the errno value the step fails with.
int InjectedError(FileWriteStep step, const std::string& name) {
  const FileWriteHook hook = gFileWriteHook.load(std::memory_order_acquire);
  return hook != nullptr ? hook(step, name.c_str()) : 0;
}

bool WriteAll(int fd, const FilePiece& piece) {
  const auto* bytes = static_cast<const char*>(piece.data);
  std::size_t left = piece.size;
  while (left > 0) {
    const ssize_t n = ::write(fd, bytes, left);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      if (n == 0) errno = EIO;
      return false;
    }
    bytes += n;
    left -= static_cast<std::size_t>(n);
  }
  return true;
}

// Flushes the folder holding `path`, so that a rename in it survives a power cut. File
// systems that cannot flush a folder say so; the rename has happened either way.
void SyncFolderOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  const std::string folder = slash == std::string::npos ? "." : (slash == 0 ? "/" : path.substr(0, slash));
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

}  // namespace

void SetFileWriteHook(FileWriteHook hook) { gFileWriteHook.store(hook, std::memory_order_release); }

bool WriteFileWhole(const std::string& name, const FilePiece* pieces, std::size_t count) {
  const std::string target = ResolveFileName(name);
  if (target.empty()) {
    errno = ENOENT;
    return false;
  }
  struct stat old{};
  const bool replacing = ::lstat(target.c_str(), &old) == 0;
  if (replacing && !S_ISREG(old.st_mode)) {
    errno = S_ISDIR(old.st_mode) ? EISDIR : EINVAL;
    return false;
  }
  const std::string scratch = target + ".tmp";
  ::unlink(scratch.c_str());

  int fd = -1;
  int error = InjectedError(FileWriteStep::CreateScratch, target);
  if (error == 0) {
    fd = ::open(scratch.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0666);
    if (fd < 0) return false;
    if (replacing) ::fchmod(fd, old.st_mode & 07777);
  }
  for (std::size_t i = 0; error == 0 && i < count; ++i) {
    if (pieces[i].size == 0) continue;
    error = InjectedError(FileWriteStep::Write, target);
    if (error == 0 && !WriteAll(fd, pieces[i])) error = errno;
  }
  if (error == 0 && (error = InjectedError(FileWriteStep::Sync, target)) == 0 && ::fsync(fd) != 0) error = errno;
  if (fd >= 0 && ::close(fd) != 0 && error == 0) error = errno;
  if (error == 0 && (error = InjectedError(FileWriteStep::Rename, target)) == 0 &&
      std::rename(scratch.c_str(), target.c_str()) != 0)
    error = errno;
  if (error != 0) {
    if (fd >= 0) ::unlink(scratch.c_str());
    errno = error;
    return false;
  }
  InjectedError(FileWriteStep::SyncFolder, target);
  SyncFolderOf(target);
  return true;
}

bool DeleteFileWhole(const std::string& name) {
  const std::string target = ResolveFileName(name);
  if (target.empty() || ::unlink(target.c_str()) != 0) {
    if (target.empty()) errno = ENOENT;
    return false;
  }
  InjectedError(FileWriteStep::SyncFolder, target);
  SyncFolderOf(target);
  return true;
}

DWORD GetCurrentDirectory(DWORD bufferLength, char* buffer) {
  std::vector<char> cwd(4096);
  if (::getcwd(cwd.data(), cwd.size()) == nullptr) return 0;
  const auto length = static_cast<DWORD>(std::strlen(cwd.data()));
  if (buffer == nullptr || bufferLength <= length) return length + 1;
  std::memcpy(buffer, cwd.data(), length + 1);
  return length;
}

BOOL SetCurrentDirectory(const char* name) {
  if (name == nullptr) return FALSE;
  return ::chdir(ResolveFileName(name).c_str()) == 0 ? TRUE : FALSE;
}

namespace {
constexpr long long kUnixEpochInFileTimeSeconds = 11644473600LL;
constexpr long long kTicksPerSecond = 10000000LL;
}  // namespace

FILETIME FileTimeFromUnixSeconds(long long seconds) {
  const auto ticks = static_cast<unsigned long long>((seconds + kUnixEpochInFileTimeSeconds) * kTicksPerSecond);
  FILETIME t;
  t.dwLowDateTime = static_cast<DWORD>(ticks & 0xFFFFFFFFu);
  t.dwHighDateTime = static_cast<DWORD>(ticks >> 32);
  return t;
}

long long UnixSecondsFromFileTime(const FILETIME& time) {
  const unsigned long long ticks = (static_cast<unsigned long long>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
  return static_cast<long long>(ticks / kTicksPerSecond) - kUnixEpochInFileTimeSeconds;
}

ReadOnlyFile::~ReadOnlyFile() { Close(); }

bool ReadOnlyFile::Open(const std::string& name) {
  Close();
  const int fd = ::open(ResolveFileName(name).c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat st{};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    return false;
  }
  fd_ = fd;
  size_ = static_cast<std::size_t>(st.st_size);
  return true;
}

void ReadOnlyFile::Close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  size_ = 0;
}

std::size_t ReadOnlyFile::ReadAt(std::uint64_t offset, void* buffer, std::size_t n) const {
  if (fd_ < 0) return 0;
  auto* out = static_cast<char*>(buffer);
  std::size_t done = 0;
  while (done < n) {
    const std::uint64_t at = offset + done;
    if (at > static_cast<std::uint64_t>(std::numeric_limits<off_t>::max())) break;
    const ssize_t got = ::pread(fd_, out + done, n - done, static_cast<off_t>(at));
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;
    done += static_cast<std::size_t>(got);
  }
  return done;
}

void* MapNamedSharedBlock(const std::string& name, std::size_t size) {
  struct Block {
    std::unique_ptr<std::max_align_t[]> memory;
    std::size_t size = 0;
  };
  static std::mutex lock;
  static std::map<std::string, Block>* blocks = new std::map<std::string, Block>();  // lives to the end
  if (size == 0) return nullptr;
  std::lock_guard<std::mutex> guard(lock);
  auto it = blocks->find(name);
  if (it == blocks->end()) {
    const std::size_t units = (size + sizeof(std::max_align_t) - 1) / sizeof(std::max_align_t);
    Block block;
    block.memory.reset(new std::max_align_t[units]);
    std::memset(block.memory.get(), 0, units * sizeof(std::max_align_t));
    block.size = size;
    it = blocks->emplace(name, std::move(block)).first;
  }
  if (size > it->second.size) return nullptr;
  return it->second.memory.get();
}

DWORD CurrentProcessId() { return static_cast<DWORD>(::getpid()); }

}  // namespace plat
