// Pak archives read through stdio-like calls, with the disk as the fallback; plus the one
// published instance of the process and the pak-aware free calls.
#include "framework/resources/PakInterface.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <limits>
#include <vector>

namespace Orvo {

namespace {

constexpr std::size_t kMaxNameLength = 255;

char ToUpperAscii(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

std::string ToUpperAscii(const std::string& s) {
  std::string out = s;
  std::transform(out.begin(), out.end(), out.begin(), [](char c) { return ToUpperAscii(c); });
  return out;
}

bool IsReadMode(const char* mode) {
  static const char* const kReadModes[] = {"r", "rb", "r+b", "rt"};
  const std::string m = ToUpperAscii(std::string(mode));
  for (const char* r : kReadModes) {
    if (m == ToUpperAscii(std::string(r))) return true;
  }
  return false;
}

PakHandle* OpenOnDisk(const char* name, const char* mode) {
  std::FILE* stream = plat::OpenFileStream(name, mode);
  if (stream == nullptr) return nullptr;
  auto* handle = new PakHandle;
  handle->diskStream = stream;
  return handle;
}

std::uint32_t ReadLe32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
         (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

// Bytes an entry read may take from the position on: never past the entry's end, nor past
// the archive's size (entries are clamped when added; this keeps the read honest anyway).
std::size_t AvailableBytes(const PakHandle* handle) {
  const PakEntry* e = handle->entry;
  if (handle->position >= e->size) return 0;
  const std::size_t archiveSize = e->archive != nullptr ? e->archive->size : 0;
  const std::size_t offset = static_cast<std::size_t>(e->start) + static_cast<std::size_t>(handle->position);
  if (offset >= archiveSize) return 0;
  return std::min(static_cast<std::size_t>(e->size - handle->position), archiveSize - offset);
}

const std::uint8_t* EntryBytes(const PakHandle* handle) {
  return handle->entry->archive->data + handle->entry->start + handle->position;
}

// Copies n bytes undoing the key, eight bytes at a time, then the rest; out may be in.
void DescrambleCopy(std::uint8_t* out, const std::uint8_t* in, std::size_t n) {
  constexpr std::uint64_t kKey8 = 0x0101010101010101ull * PAK_KEY;
  std::size_t i = 0;
  for (; i + 8 <= n; i += 8) {
    std::uint64_t word;
    std::memcpy(&word, in + i, 8);
    word ^= kKey8;
    std::memcpy(out + i, &word, 8);
  }
  for (; i < n; ++i) out[i] = static_cast<std::uint8_t>(in[i] ^ PAK_KEY);
}

// Reads smaller than this go through the handle's read-ahead, which holds this many bytes.
constexpr std::size_t kReadAhead = 4096;

// Copies up to n bytes of the handle's entry from its position, descrambled, and moves the
// position past them. Fewer come back at the entry's end, or when the archive file no longer
// holds them (another program shrank it): then the read fails short, as a read error does.
std::size_t ReadEntry(PakHandle* handle, std::uint8_t* out, std::size_t n) {
  n = std::min(n, AvailableBytes(handle));
  const PakArchive* archive = handle->entry->archive;
  if (archive->file == nullptr) {
    if (n > 0) DescrambleCopy(out, EntryBytes(handle), n);
    handle->position += static_cast<std::int32_t>(n);
    return n;
  }
  std::size_t done = 0;
  while (done < n) {
    const std::int32_t offset = handle->position - handle->readAheadStart;
    if (handle->readAhead != nullptr && offset >= 0 && offset < handle->readAheadLength) {
      const std::size_t k = std::min(n - done, static_cast<std::size_t>(handle->readAheadLength - offset));
      std::memcpy(out + done, handle->readAhead.get() + offset, k);
      done += k;
      handle->position += static_cast<std::int32_t>(k);
      continue;
    }
    const std::uint64_t at =
        static_cast<std::uint64_t>(handle->entry->start) + static_cast<std::uint64_t>(handle->position);
    // A read that covers what the read-ahead would hold goes straight into the caller's buffer.
    const std::size_t ahead = std::min(kReadAhead, AvailableBytes(handle));
    if (n - done >= ahead) {
      const std::size_t want = n - done;
      const std::size_t got = archive->file->ReadAt(at, out + done, want);
      DescrambleCopy(out + done, out + done, got);
      done += got;
      handle->position += static_cast<std::int32_t>(got);
      if (got < want) break;
      continue;
    }
    if (handle->readAhead == nullptr) handle->readAhead.reset(new std::uint8_t[kReadAhead]);
    const std::size_t got = archive->file->ReadAt(at, handle->readAhead.get(), ahead);
    DescrambleCopy(handle->readAhead.get(), handle->readAhead.get(), got);
    handle->readAheadStart = handle->position;
    handle->readAheadLength = static_cast<std::int32_t>(got);
    if (got == 0) break;
  }
  return done;
}

}  // namespace

PakHandle* PakInterfaceBase::FOpenAlt(const char*, const char*) { return nullptr; }

char* PakInterfaceBase::FGetsAlt(char* buffer, int, PakHandle*) { return buffer; }

// The published pointer lives in a named block the size of a pointer, so that it survives
// whole on 64-bit systems; the block reads null until an instance is published.
static std::atomic<PakInterface*>* PublishedSlot() {
  static std::atomic<PakInterface*>* slot = [] {
    const std::string name = "gPakInterfaceP_" + std::to_string(plat::CurrentProcessId());
    void* block = plat::MapNamedSharedBlock(name, sizeof(std::atomic<PakInterface*>));
    return block == nullptr ? nullptr : new (block) std::atomic<PakInterface*>(nullptr);
  }();
  return slot;
}

static PakInterface* ProcessPakInterface();

PakInterface* FindPakInterface() {
  ProcessPakInterface();
  std::atomic<PakInterface*>* slot = PublishedSlot();
  return slot == nullptr ? nullptr : slot->load(std::memory_order_acquire);
}

PakInterface::PakInterface() {
  if (std::atomic<PakInterface*>* slot = PublishedSlot()) {
    PakInterface* expected = nullptr;
    slot->compare_exchange_strong(expected, this, std::memory_order_acq_rel);
  }
}

PakInterface::~PakInterface() {
  if (std::atomic<PakInterface*>* slot = PublishedSlot()) {
    PakInterface* expected = this;
    slot->compare_exchange_strong(expected, nullptr, std::memory_order_acq_rel);
  }
}

std::string PakInterface::NormalizePath(const char* name) {
  if (name == nullptr) return std::string();
  std::string source = name;

  // A name inside the working directory, written from the root (with or without a drive),
  // becomes relative to it.
  if (source.size() > 1 && (source[1] == ':' || source[0] == '/' || source[0] == '\\')) {
    char cwd[plat::MAX_PATH] = {};
    const plat::DWORD len = plat::GetCurrentDirectory(sizeof cwd, cwd);
    if (len > 0 && len < sizeof cwd) {
      std::string prefix = std::string(cwd) + "\\";
      std::replace(prefix.begin(), prefix.end(), '/', '\\');
      std::string head = source.substr(0, std::min(source.size(), prefix.size()));
      std::replace(head.begin(), head.end(), '/', '\\');
      if (ToUpperAscii(head) == ToUpperAscii(prefix)) source.erase(0, prefix.size());
    }
  }

  std::string out;
  bool afterSeparator = false;
  for (std::size_t i = 0; i < source.size(); ++i) {
    const char c = source[i];
    if (c == '\\' || c == '/') {
      if (!afterSeparator) out += '\\';
      afterSeparator = true;
    } else if (c == '.' && afterSeparator && i + 1 < source.size() && source[i + 1] == '.') {
      // A ".." component takes away the component before it (a leading '\' stays).
      if (out.size() > 1 && out.back() == '\\') out.pop_back();
      const std::size_t prev = out.rfind('\\');
      if (prev == std::string::npos) {
        out.clear();
      } else {
        out.erase(prev + 1);
      }
      ++i;
    } else {
      out += ToUpperAscii(c);
      afterSeparator = false;
    }
    if (out.size() > kMaxNameLength) return std::string();
  }
  return out;
}

PakHandle* PakInterface::FOpen(const char* name, const char* mode) {
  if (name == nullptr || mode == nullptr) return nullptr;
  if (!IsReadMode(mode)) return OpenOnDisk(name, mode);
  const std::string key = NormalizePath(name);
  if (!key.empty()) {
    auto it = entries_.find(key);
    if (it != entries_.end()) {
      auto* handle = new PakHandle;
      handle->entry = it->second;
      return handle;
    }
  }
  return OpenOnDisk(name, mode);
}

int PakInterface::FClose(PakHandle* handle) {
  if (handle == nullptr) return EOF;
  if (handle->diskStream != nullptr) std::fclose(handle->diskStream);
  delete handle;
  return 0;
}

int PakInterface::FSeek(PakHandle* handle, std::int32_t offset, int origin) {
  if (handle == nullptr) return -1;
  if (handle->diskStream != nullptr) return std::fseek(handle->diskStream, offset, origin);
  const std::int64_t size = handle->entry->size;
  std::int64_t position = handle->position;
  switch (origin) {
    case SEEK_SET: position = offset; break;
    case SEEK_CUR: position += offset; break;
    case SEEK_END: position = size + offset; break;
    default: break;
  }
  handle->position = static_cast<std::int32_t>(std::clamp<std::int64_t>(position, 0, size));
  return 0;
}

std::int32_t PakInterface::FTell(PakHandle* handle) {
  if (handle == nullptr) return -1;
  if (handle->diskStream != nullptr) return static_cast<std::int32_t>(std::ftell(handle->diskStream));
  return handle->position;
}

std::size_t PakInterface::FRead(void* buffer, std::size_t elementSize, std::size_t count, PakHandle* handle) {
  if (handle == nullptr || buffer == nullptr || elementSize == 0) return 0;
  if (handle->diskStream != nullptr) return std::fread(buffer, elementSize, count, handle->diskStream);
  const std::size_t wanted = count > std::numeric_limits<std::size_t>::max() / elementSize
                                 ? std::numeric_limits<std::size_t>::max()
                                 : elementSize * count;
  return ReadEntry(handle, static_cast<std::uint8_t*>(buffer), wanted) / elementSize;
}

int PakInterface::FGetC(PakHandle* handle) {
  if (handle == nullptr) return EOF;
  if (handle->diskStream != nullptr) return std::fgetc(handle->diskStream);
  std::uint8_t c = 0;
  while (ReadEntry(handle, &c, 1) == 1) {
    if (c != '\r') return c;
  }
  return EOF;
}

int PakInterface::UnGetC(int c, PakHandle* handle) {
  if (handle == nullptr) return EOF;
  if (handle->diskStream != nullptr) return std::ungetc(c, handle->diskStream);
  if (handle->position > 0) --handle->position;
  return c;
}

char* PakInterface::FGets(char* buffer, int count, PakHandle* handle) {
  if (handle == nullptr || buffer == nullptr || count <= 0) return nullptr;
  if (handle->diskStream != nullptr) return std::fgets(buffer, count, handle->diskStream);
  int stored = 0;
  bool readAny = false;
  while (stored < count - 1) {
    std::uint8_t byte = 0;
    if (ReadEntry(handle, &byte, 1) != 1) {
      if (!readAny) {
        buffer[0] = '\0';
        return nullptr;
      }
      break;
    }
    const char c = static_cast<char>(byte);
    readAny = true;
    if (c == '\r') continue;
    buffer[stored++] = c;
    if (c == '\n') break;
  }
  buffer[stored] = '\0';
  return buffer;
}

int PakInterface::FEof(PakHandle* handle) {
  if (handle == nullptr) return 1;
  if (handle->diskStream != nullptr) return std::feof(handle->diskStream) != 0 ? 1 : 0;
  return handle->position >= handle->entry->size ? 1 : 0;
}

PakEntry* PakInterface::NewEntry(const std::string& key) {
  entryStore_.emplace_back();
  entries_[key] = &entryStore_.back();
  return &entryStore_.back();
}

bool PakInterface::AddPakFile(const std::string& fileName) {
  if (NormalizePath(fileName.c_str()).empty()) return false;
  PakArchive archive;
  archive.file = std::make_unique<plat::ReadOnlyFile>();
  if (!archive.file->Open(fileName)) return false;
  archive.size = archive.file->Size();
  return AddArchive(fileName, std::move(archive));
}

bool PakInterface::AddPakBuffer(const std::string& name, const std::uint8_t* data, std::size_t size) {
  PakArchive archive;
  archive.data = size > 0 ? data : nullptr;
  archive.size = archive.data != nullptr ? size : 0;
  return AddArchive(name, std::move(archive));
}

bool PakInterface::AddArchive(const std::string& fileName, PakArchive newArchive) {
  const std::string selfKey = NormalizePath(fileName.c_str());
  if (selfKey.empty()) return false;
  const std::size_t fileSize = newArchive.size;
  // Entry offsets and sizes are signed 32-bit numbers: larger archives cannot be addressed.
  if (fileSize > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max())) return false;

  archives_.push_back(std::move(newArchive));
  PakArchive* archive = &archives_.back();

  // The archive's own entry, so that its table is read through the calls that undo the XOR.
  // It is keyed the way FOpen looks names up, so the open below always finds it.
  PakEntry* self = NewEntry(selfKey);
  self->archive = archive;
  self->name = fileName;
  self->start = 0;
  self->size = static_cast<std::int32_t>(fileSize);

  PakHandle* handle = FOpen(fileName.c_str(), "rb");
  if (handle == nullptr) return false;

  std::uint8_t word[4];
  if (FRead(word, 1, 4, handle) != 4 || ReadLe32(word) != PAK_MAGIC || FRead(word, 1, 4, handle) != 4 ||
      ReadLe32(word) != PAK_VERSION) {
    FClose(handle);
    return false;
  }

  struct TableRecord {
    std::string name;
    std::uint64_t offset;
    std::uint32_t size;
    plat::FILETIME time;
  };
  std::vector<TableRecord> records;
  std::uint64_t runningOffset = 0;
  std::uint8_t flags = 0;
  while (FRead(&flags, 1, 1, handle) == 1 && (flags & PAK_FLAG_END_OF_TABLE) == 0) {
    std::uint8_t nameLength = 0;
    char name[256];
    std::uint8_t sizeBytes[4];
    std::uint8_t timeBytes[8];
    // A table cut short by the end of the file ends there; the records read so far stay.
    if (FRead(&nameLength, 1, 1, handle) != 1 || FRead(name, 1, nameLength, handle) != nameLength ||
        FRead(sizeBytes, 1, 4, handle) != 4 || FRead(timeBytes, 1, 8, handle) != 8) {
      break;
    }
    TableRecord record;
    record.name.assign(name, nameLength);
    record.offset = runningOffset;
    record.size = ReadLe32(sizeBytes);
    record.time.dwLowDateTime = ReadLe32(timeBytes);
    record.time.dwHighDateTime = ReadLe32(timeBytes + 4);
    runningOffset += record.size;
    records.push_back(std::move(record));
  }
  const std::uint64_t tableEnd = static_cast<std::uint64_t>(FTell(handle));
  FClose(handle);

  // Entries whose data would reach past the end of the file are cut at the end of the file.
  for (const TableRecord& record : records) {
    if (record.name.empty()) continue;
    const std::uint64_t start = std::min<std::uint64_t>(tableEnd + record.offset, fileSize);
    const std::uint64_t size = std::min<std::uint64_t>(record.size, fileSize - start);
    PakEntry* entry = NewEntry(ToUpperAscii(record.name));
    entry->archive = archive;
    entry->name = record.name;
    entry->fileTime = record.time;
    entry->start = static_cast<std::int32_t>(start);
    entry->size = static_cast<std::int32_t>(size);
  }
  return true;
}

bool PakInterface::NextArchiveMatch(PakSearch* search, plat::WIN32_FIND_DATA* data) {
  auto it = entries_.begin();
  if (!search->lastFound.empty()) {
    it = entries_.find(search->lastFound);
    if (it == entries_.end()) return false;
    ++it;
  }
  const std::string& pattern = search->pattern;
  const std::size_t star = pattern.find('*');
  if (star == std::string::npos) return false;
  const std::string prefix = pattern.substr(0, star);
  const std::string rest = pattern.substr(star + 1);
  for (; it != entries_.end(); ++it) {
    const std::string& key = it->first;
    if (key.compare(0, prefix.size(), prefix) != 0 || key.size() < prefix.size()) continue;
    const bool matches = rest.empty() || rest == ".*" ||
                         (key.size() >= rest.size() && key.compare(key.size() - rest.size(), rest.size(), rest) == 0);
    if (!matches) continue;
    const PakEntry& entry = *it->second;
    *data = plat::WIN32_FIND_DATA{};
    // Archives hold files only: a match never reports itself as a folder.
    data->dwFileAttributes = 0;
    data->ftCreationTime = entry.fileTime;
    data->ftLastAccessTime = entry.fileTime;
    data->ftLastWriteTime = entry.fileTime;
    data->nFileSizeLow = static_cast<plat::DWORD>(entry.size);
    const std::size_t slash = entry.name.rfind('\\');
    const std::string shortName = slash == std::string::npos ? entry.name : entry.name.substr(slash + 1);
    std::strncpy(data->cFileName, shortName.c_str(), plat::MAX_PATH - 1);
    search->lastFound = key;
    return true;
  }
  return false;
}

plat::HANDLE PakInterface::FindFirstFile(const char* pattern, plat::WIN32_FIND_DATA* data) {
  if (pattern == nullptr || data == nullptr) return plat::INVALID_HANDLE_VALUE;
  auto* search = new PakSearch;
  search->pattern = NormalizePath(pattern);
  if (search->pattern.empty()) search->pattern = pattern;
  if (NextArchiveMatch(search, data)) return search;
  search->diskSearch = plat::FindFirstFile(search->pattern.c_str(), data);
  if (search->diskSearch != plat::INVALID_HANDLE_VALUE) return search;
  delete search;
  return plat::INVALID_HANDLE_VALUE;
}

plat::BOOL PakInterface::FindNextFile(plat::HANDLE searchHandle, plat::WIN32_FIND_DATA* data) {
  if (searchHandle == nullptr || searchHandle == plat::INVALID_HANDLE_VALUE || data == nullptr) return plat::FALSE;
  auto* search = static_cast<PakSearch*>(searchHandle);
  if (search->diskSearch != plat::INVALID_HANDLE_VALUE) return plat::FindNextFile(search->diskSearch, data);
  if (NextArchiveMatch(search, data)) return plat::TRUE;
  search->diskSearch = plat::FindFirstFile(search->pattern.c_str(), data);
  return search->diskSearch != plat::INVALID_HANDLE_VALUE ? plat::TRUE : plat::FALSE;
}

plat::BOOL PakInterface::FindClose(plat::HANDLE searchHandle) {
  if (searchHandle == nullptr || searchHandle == plat::INVALID_HANDLE_VALUE) return plat::TRUE;
  auto* search = static_cast<PakSearch*>(searchHandle);
  if (search->diskSearch != plat::INVALID_HANDLE_VALUE) plat::FindClose(search->diskSearch);
  delete search;
  return plat::TRUE;
}

// The one instance of the process, made before the program's entry function runs (or on
// first use, by code that runs while other files are still being initialised) and kept
// to the end, so that no entry or open handle ever outlives it.
static PakInterface* ProcessPakInterface() {
  static PakInterface* const instance = new PakInterface();
  return instance;
}
static PakInterface* const gProcessPakInterface = ProcessPakInterface();

PakHandle* PakOpen(const char* name, const char* mode) {
  if (PakInterface* pak = FindPakInterface()) return pak->FOpen(name, mode);
  if (name == nullptr || mode == nullptr) return nullptr;
  return OpenOnDisk(name, mode);
}

int PakClose(PakHandle* handle) {
  if (PakInterface* pak = FindPakInterface()) return pak->FClose(handle);
  if (handle == nullptr) return EOF;
  const int result = handle->diskStream != nullptr ? std::fclose(handle->diskStream) : 0;
  delete handle;
  return result;
}

int PakSeek(PakHandle* handle, std::int32_t offset, int origin) {
  if (PakInterface* pak = FindPakInterface()) return pak->FSeek(handle, offset, origin);
  if (handle == nullptr || handle->diskStream == nullptr) return -1;
  return std::fseek(handle->diskStream, offset, origin);
}

std::int32_t PakTell(PakHandle* handle) {
  if (PakInterface* pak = FindPakInterface()) return pak->FTell(handle);
  if (handle == nullptr || handle->diskStream == nullptr) return -1;
  return static_cast<std::int32_t>(std::ftell(handle->diskStream));
}

std::size_t PakRead(void* buffer, std::size_t elementSize, std::size_t count, PakHandle* handle) {
  if (PakInterface* pak = FindPakInterface()) return pak->FRead(buffer, elementSize, count, handle);
  if (handle == nullptr || handle->diskStream == nullptr || buffer == nullptr) return 0;
  return std::fread(buffer, elementSize, count, handle->diskStream);
}

int PakGetC(PakHandle* handle) {
  if (PakInterface* pak = FindPakInterface()) return pak->FGetC(handle);
  if (handle == nullptr || handle->diskStream == nullptr) return EOF;
  return std::fgetc(handle->diskStream);
}

int PakEof(PakHandle* handle) {
  if (PakInterface* pak = FindPakInterface()) return pak->FEof(handle);
  if (handle == nullptr || handle->diskStream == nullptr) return 1;
  return std::feof(handle->diskStream) != 0 ? 1 : 0;
}

plat::HANDLE PakFindFirstFile(const char* pattern, plat::WIN32_FIND_DATA* data) {
  if (PakInterface* pak = FindPakInterface()) return pak->FindFirstFile(pattern, data);
  plat::HANDLE disk = plat::FindFirstFile(pattern, data);
  if (disk == plat::INVALID_HANDLE_VALUE) return disk;
  auto* search = new PakSearch;
  search->diskSearch = disk;
  return search;
}

plat::BOOL PakFindNextFile(plat::HANDLE search, plat::WIN32_FIND_DATA* data) {
  if (PakInterface* pak = FindPakInterface()) return pak->FindNextFile(search, data);
  if (search == nullptr || search == plat::INVALID_HANDLE_VALUE) return plat::FALSE;
  return plat::FindNextFile(static_cast<PakSearch*>(search)->diskSearch, data);
}

plat::BOOL PakFindClose(plat::HANDLE search) {
  if (PakInterface* pak = FindPakInterface()) return pak->FindClose(search);
  if (search == nullptr || search == plat::INVALID_HANDLE_VALUE) return plat::TRUE;
  plat::FindClose(static_cast<PakSearch*>(search)->diskSearch);
  delete static_cast<PakSearch*>(search);
  return plat::TRUE;
}

}  // namespace Orvo
