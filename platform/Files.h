// File services of the platform layer: names as the program writes them ('\' or '/', any
// letter case) resolved against the real disk, find-file searches, attributes, folders,
// files read at offsets, and process-wide named memory blocks.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "platform/Types.h"

namespace plat {

constexpr DWORD FILE_ATTRIBUTE_READONLY = 0x01;
constexpr DWORD FILE_ATTRIBUTE_DIRECTORY = 0x10;
constexpr DWORD FILE_ATTRIBUTE_NORMAL = 0x80;
constexpr DWORD INVALID_FILE_ATTRIBUTES = 0xFFFFFFFFu;

// What a find-file search reports for each match.
struct WIN32_FIND_DATAA {
  DWORD dwFileAttributes = 0;
  FILETIME ftCreationTime;
  FILETIME ftLastAccessTime;
  FILETIME ftLastWriteTime;
  DWORD nFileSizeHigh = 0;
  DWORD nFileSizeLow = 0;
  char cFileName[MAX_PATH] = {};
};
using WIN32_FIND_DATA = WIN32_FIND_DATAA;

// The name on disk for a name written with '\' or '/' in any letter case: separators become
// '/', and each component that does not exist exactly is matched against its folder without
// regard to case. Components that match nothing are kept as given (so a file about to be
// created keeps the caller's spelling). An empty name stays empty.
std::string ResolveFileName(const std::string& name);

// fopen on the resolved name. Modes as for fopen. A folder or a pipe is refused (opening a
// pipe would wait for the other end).
std::FILE* OpenFileStream(const char* name, const char* mode);

// Reads the whole of the plain file `name` (resolved as above), at most `maxBytes` long.
// False, with the reason in `why` when given, for a missing or unreadable name, a folder,
// a device or pipe, or a larger file; such a name is never opened in a way that waits.
bool ReadRegularFile(const std::string& name, std::size_t maxBytes, std::vector<unsigned char>* bytes,
                     std::string* why = nullptr);

// Find-file search with the Windows wildcards '*' and '?' in the last component, matched
// without regard to case. Matches come sorted by name; "." and ".." are never reported.
// FindFirstFile returns INVALID_HANDLE_VALUE when nothing matches.
HANDLE FindFirstFile(const char* pattern, WIN32_FIND_DATA* data);
BOOL FindNextFile(HANDLE search, WIN32_FIND_DATA* data);
BOOL FindClose(HANDLE search);

// Attributes of a file or folder, or INVALID_FILE_ATTRIBUTES when it does not exist.
DWORD GetFileAttributes(const char* name);
// Creates one folder; FALSE when it exists already or cannot be made.
BOOL CreateDirectory(const char* name, void* securityAttributes);
BOOL RemoveDirectory(const char* name);
BOOL DeleteFile(const char* name);
// Renames a file; FALSE when the target exists or the move fails.
BOOL MoveFile(const char* from, const char* to);

// One piece of a file written by WriteFileWhole.
struct FilePiece {
  const void* data;
  std::size_t size;
};

// Replaces the file `name` with the pieces written one after another, so that a crash at
// any moment leaves either the old file whole or the new one whole: the bytes go to the
// scratch file "<name>.tmp" (a stale one is removed first), which is flushed to the disk,
// given the old file's permissions and renamed over the name; then the folder is flushed.
// A name that exists as anything but a regular file (a folder, a link, a device) is
// refused. False when a step failed: the old file is untouched, the scratch file is gone
// and errno says why.
bool WriteFileWhole(const std::string& name, const FilePiece* pieces, std::size_t count);

// Deletes the file `name` and flushes its folder, so that the file does not come back after
// a power cut. False, with errno set, when the file could not be deleted.
bool DeleteFileWhole(const std::string& name);

// The steps of WriteFileWhole, in order, for tests that make one fail or stop the process there.
enum class FileWriteStep { CreateScratch, Write, Sync, Rename, SyncFolder };
// DeleteFileWhole reports its folder flush as SyncFolder.
// Called before each step with the target's name; a non-zero result makes that step fail
// with this errno value (ENOSPC for a full disk or no free inodes, EACCES for a folder the
// program may not write). nullptr removes the hook.
using FileWriteHook = int (*)(FileWriteStep step, const char* name);
void SetFileWriteHook(FileWriteHook hook);

// The working directory, with '/' separators: returns its length, or the size needed
// (terminating zero included) when the buffer is too small.
DWORD GetCurrentDirectory(DWORD bufferLength, char* buffer);
BOOL SetCurrentDirectory(const char* name);

// FILETIME from seconds since 1970 (UTC) and back.
FILETIME FileTimeFromUnixSeconds(long long seconds);
long long UnixSecondsFromFileTime(const FILETIME& time);

// A whole file open for reading at any offset. It has no file position of its own, so
// threads may read it side by side. Reads take what the file holds at the time of the read:
// when another program has shrunk or rewritten it since it was opened, a read gives fewer
// bytes (or other bytes), never a fault.
class ReadOnlyFile {
 public:
  ReadOnlyFile() = default;
  ~ReadOnlyFile();
  ReadOnlyFile(const ReadOnlyFile&) = delete;
  ReadOnlyFile& operator=(const ReadOnlyFile&) = delete;

  // Opens an existing regular file. False when it cannot be opened.
  bool Open(const std::string& name);
  void Close();

  // Up to n bytes from `offset` into `buffer`; fewer when the file now ends sooner or a read
  // fails. Returns the count read.
  std::size_t ReadAt(std::uint64_t offset, void* buffer, std::size_t n) const;
  // The size the file had when it was opened.
  std::size_t Size() const { return size_; }
  bool IsOpen() const { return fd_ >= 0; }

 private:
  int fd_ = -1;
  std::size_t size_ = 0;
};

// A zero-filled memory block of the process known by name: the first call with a name
// creates it, later calls with the same name return the same address (size must not grow).
// Stands in for a page-file-backed named mapping, which only this process ever opens.
// Returns null when the size is 0 or larger than a block of that name already holds.
void* MapNamedSharedBlock(const std::string& name, std::size_t size);

// The id of the running process.
DWORD CurrentProcessId();

}  // namespace plat
