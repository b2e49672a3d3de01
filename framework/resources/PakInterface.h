// The process-wide file layer: every loader reads through it. Names are served out of pak
// archives (read at offsets from the archive file, every byte scrambled with one key) and
// fall back to the disk for names no archive holds and for every open that is not for reading.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <list>
#include <map>
#include <memory>
#include <string>

#include "platform/Files.h"
#include "platform/Types.h"

namespace Orvo {

// The key every byte of an archive is XORed with, and the archive's header values.
constexpr std::uint8_t PAK_KEY = 0x6D;
constexpr std::uint32_t PAK_MAGIC = 0xBAC04AC0u;
constexpr std::uint32_t PAK_VERSION = 0;
constexpr std::uint8_t PAK_FLAG_END_OF_TABLE = 0x80;

// An archive is read from its file at each read rather than through a mapping of it: another
// program may shrink or rewrite the file while it is open (a new data.pak copied over the
// old one), and a read of a mapped page the file no longer holds would kill the process.
struct PakArchive {
  std::unique_ptr<plat::ReadOnlyFile> file;  // the archive file, kept open; null for a buffer
  const std::uint8_t* data = nullptr;        // the caller's buffer; null for a file
  std::size_t size = 0;                      // the archive's size when it was added
};

struct PakEntry {
  PakArchive* archive = nullptr;
  std::string name;  // as stored, in its stored case
  plat::FILETIME fileTime;
  std::int32_t start = 0;  // offset of the first byte within the archive
  std::int32_t size = 0;
};

// An open file: either an archive entry (entry set) or a disk stream (diskStream set).
// The caller owns it until it hands it to close.
struct PakHandle {
  PakEntry* entry = nullptr;
  std::int32_t position = 0;
  std::FILE* diskStream = nullptr;
  // Bytes of an entry read from its archive file ahead of the position, descrambled: the
  // entry's bytes from readAheadStart on, readAheadLength of them. Small and character-wise
  // reads are served from here.
  std::unique_ptr<std::uint8_t[]> readAhead;
  std::int32_t readAheadStart = 0;
  std::int32_t readAheadLength = 0;
};

// The state of one find-file search, handed to the caller as the search handle.
struct PakSearch {
  plat::HANDLE diskSearch = plat::INVALID_HANDLE_VALUE;
  std::string lastFound;  // key of the last archive entry returned
  std::string pattern;    // normalised pattern
};

class PakInterfaceBase {
 public:
  virtual PakHandle* FOpenAlt(const char* name, const char* mode);
  virtual PakHandle* FOpen(const char* name, const char* mode) = 0;
  virtual int FClose(PakHandle* handle) = 0;
  virtual int FSeek(PakHandle* handle, std::int32_t offset, int origin) = 0;
  virtual std::int32_t FTell(PakHandle* handle) = 0;
  virtual std::size_t FRead(void* buffer, std::size_t elementSize, std::size_t count, PakHandle* handle) = 0;
  virtual int FGetC(PakHandle* handle) = 0;
  virtual int UnGetC(int c, PakHandle* handle) = 0;
  virtual char* FGetsAlt(char* buffer, int count, PakHandle* handle);
  virtual char* FGets(char* buffer, int count, PakHandle* handle) = 0;
  virtual int FEof(PakHandle* handle) = 0;
  virtual plat::HANDLE FindFirstFile(const char* pattern, plat::WIN32_FIND_DATA* data) = 0;
  virtual plat::BOOL FindNextFile(plat::HANDLE search, plat::WIN32_FIND_DATA* data) = 0;
  virtual plat::BOOL FindClose(plat::HANDLE search) = 0;

 protected:
  // Never deleted through the base: the one instance lives for the whole process.
  ~PakInterfaceBase() = default;
};

class PakInterface : public PakInterfaceBase {
 public:
  // Publishes itself as the process's instance unless one is published already.
  PakInterface();
  virtual ~PakInterface();

  PakHandle* FOpen(const char* name, const char* mode) override;
  int FClose(PakHandle* handle) override;
  int FSeek(PakHandle* handle, std::int32_t offset, int origin) override;
  std::int32_t FTell(PakHandle* handle) override;
  std::size_t FRead(void* buffer, std::size_t elementSize, std::size_t count, PakHandle* handle) override;
  int FGetC(PakHandle* handle) override;
  int UnGetC(int c, PakHandle* handle) override;
  char* FGets(char* buffer, int count, PakHandle* handle) override;
  int FEof(PakHandle* handle) override;
  plat::HANDLE FindFirstFile(const char* pattern, plat::WIN32_FIND_DATA* data) override;
  plat::BOOL FindNextFile(plat::HANDLE search, plat::WIN32_FIND_DATA* data) override;
  plat::BOOL FindClose(plat::HANDLE search) override;

  // Opens an archive and adds its entries; a name already held is replaced by the new
  // archive's entry. False when the file cannot be opened or is not an archive. The file
  // stays open; an entry read that the file no longer holds reads short, as a read error.
  bool AddPakFile(const std::string& fileName);
  // The same for an archive already in memory (scrambled as on disk), known by `name`. The
  // bytes are not copied: the caller keeps them alive while this instance lives.
  bool AddPakBuffer(const std::string& name, const std::uint8_t* data, std::size_t size);

  // The key an entry is stored and looked up under: '\' separators, no doubled separators,
  // ".." folded, upper-case ASCII, drive-absolute names inside the working directory made
  // relative. Empty when the result would not fit the 255 characters a name may have.
  static std::string NormalizePath(const char* name);

  // Entries by key. A name added again gets a new entry: handles open on the old one keep
  // reading what they opened.
  const std::map<std::string, PakEntry*>& Entries() const { return entries_; }

 private:
  bool NextArchiveMatch(PakSearch* search, plat::WIN32_FIND_DATA* data);
  bool AddArchive(const std::string& name, PakArchive archive);

  // Makes a new entry under `key`, which replaces whatever the key held.
  PakEntry* NewEntry(const std::string& key);

  std::list<PakArchive> archives_;
  std::map<std::string, PakEntry*> entries_;
  std::list<PakEntry> entryStore_;  // every entry ever made; they never move or go away
};

// The published instance of the process, or null when none is published.
PakInterface* FindPakInterface();

// Pak-aware file calls: through the published instance when there is one, else plain
// standard I/O on a handle whose entry is null. They behave like their stdio namesakes.
PakHandle* PakOpen(const char* name, const char* mode);
int PakClose(PakHandle* handle);
int PakSeek(PakHandle* handle, std::int32_t offset, int origin);
std::int32_t PakTell(PakHandle* handle);
std::size_t PakRead(void* buffer, std::size_t elementSize, std::size_t count, PakHandle* handle);
int PakGetC(PakHandle* handle);
int PakEof(PakHandle* handle);
plat::HANDLE PakFindFirstFile(const char* pattern, plat::WIN32_FIND_DATA* data);
plat::BOOL PakFindNextFile(plat::HANDLE search, plat::WIN32_FIND_DATA* data);
plat::BOOL PakFindClose(plat::HANDLE search);

}  // namespace Orvo
