// The game file object over the pak-aware file calls, and the folder listing by extension.
#include "kernel/common/GameFile.h"

#include <algorithm>
#include <cstdio>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "framework/core/Common.h"
#include "framework/resources/PakInterface.h"
#include "platform/Files.h"

namespace CommonLibrary {

using namespace Orvo;

namespace {

namespace fs = std::filesystem;

// What a name is on disk; links are followed, so a link to a file counts as a file.
enum class DiskKind { Missing, File, Other };

DiskKind KindOf(const std::string& diskName) {
  std::error_code error;
  const fs::file_status status = fs::status(diskName, error);
  if (status.type() == fs::file_type::not_found || status.type() == fs::file_type::none) return DiskKind::Missing;
  return status.type() == fs::file_type::regular ? DiskKind::File : DiskKind::Other;
}

// A scratch file beside the file is what an interrupted save leaves: the file itself still
// holds its previous contents (or never existed), so the scratch copy is thrown away.
void DiscardScratch(const std::string& diskName) {
  const std::string scratch = diskName + ".tmp";
  std::error_code error;
  if (fs::symlink_status(scratch, error).type() == fs::file_type::regular) fs::remove(scratch, error);
}

// The game's files are a few bytes long; a save that would hold more than this (a write at
// an absurd position, or a huge file under a game file's name) is refused rather than
// copied into memory.
constexpr std::size_t kMaxSavedSize = 16u << 20;

bool FolderExists(const std::string& diskName) {
  const fs::path folder = fs::path(diskName).parent_path();
  std::error_code error;
  return folder.empty() || fs::is_directory(folder, error);
}

}  // namespace

GameFile::GameFile(const std::string& path) : mPath(path) {}

GameFile::~GameFile() { Close(); }

void GameFile::SetPath(const std::string& path) {
  Close();
  mPath = path;
}

bool GameFile::Open(std::uint32_t mode) {
  if (mPath.empty()) return false;
  const bool pendingEmpty = mPendingEmpty;
  if (IsOpen()) Close();
  mPendingEmpty = false;
  mMode = mode;
  const std::string disk = plat::ResolveFileName(mPath);
  DiscardScratch(disk);
  if (pendingEmpty) return BeginImage(true);
  const DiskKind kind = KindOf(disk);
  if (kind == DiskKind::Other) return false;
  mHandle = PakOpen(mPath.c_str(), "rb");
  if (mHandle == nullptr) {
    // Appending creates a missing file (on disk at Close).
    if (mode != kModeReadWrite && kind == DiskKind::Missing && FolderExists(disk)) return BeginImage(true);
    return false;
  }
  PakSeek(mHandle, 0, SEEK_SET);
  mLast = LastAccess::None;
  return true;
}

bool GameFile::Close() {
  bool saved = !mWriteFailed;
  if (mImageActive) {
    saved = saved && Publish();
  } else if (!IsOpen() && mPendingEmpty) {
    // OpenWrite without a session after it: the file becomes empty.
    mImage.clear();
    saved = Publish();
  }
  CloseHandle();
  mImageActive = false;
  mImage.clear();
  mImagePosition = 0;
  mPendingEmpty = false;
  mWriteFailed = false;
  return saved;
}

void GameFile::CloseHandle() {
  if (mHandle == nullptr) return;
  PakClose(mHandle);
  mHandle = nullptr;
  mLast = LastAccess::None;
}

bool GameFile::BeginImage(bool empty) {
  mImage.clear();
  mImagePosition = 0;
  if (!empty) {
    // Archive entries cannot be written.
    if (mHandle == nullptr || mHandle->diskStream == nullptr) return false;
    const std::int32_t position = PakTell(mHandle);
    if (position < 0 || PakSeek(mHandle, 0, SEEK_SET) != 0) return false;
    std::uint8_t chunk[4096];
    std::size_t n = 0;
    while ((n = PakRead(chunk, 1, sizeof(chunk), mHandle)) > 0 && mImage.size() <= kMaxSavedSize)
      mImage.insert(mImage.end(), chunk, chunk + n);
    if (std::ferror(mHandle->diskStream) || mImage.size() > kMaxSavedSize) return false;
    mImagePosition = static_cast<std::size_t>(position);
  }
  CloseHandle();
  mImageActive = true;
  return true;
}

bool GameFile::Publish() {
  const std::string target = plat::ResolveFileName(mPath);
  // A file the user marked read-only keeps its contents.
  std::error_code error;
  const fs::file_status status = fs::status(target, error);
  if (fs::is_regular_file(status) && (status.permissions() & fs::perms::owner_write) == fs::perms::none) {
    FailSave("the file is read-only");
    return false;
  }
  if (!WriteFileAtomically(target, mImage.data(), mImage.size())) {
    FailSave(std::strerror(errno));
    return false;
  }
  mSaveError.clear();
  return true;
}

void GameFile::FailSave(const std::string& reason) {
  mWriteFailed = true;
  mSaveError = reason;
}

bool GameFile::OpenRead() {
  if (mPath.empty()) return false;
  const std::string disk = plat::ResolveFileName(mPath);
  DiscardScratch(disk);
  if (KindOf(disk) == DiskKind::Other) return false;
  PakHandle* handle = PakOpen(mPath.c_str(), "rb");
  if (handle == nullptr) return false;
  PakClose(handle);
  return true;
}

bool GameFile::OpenWrite() {
  if (mPath.empty()) return false;
  const std::string disk = plat::ResolveFileName(mPath);
  std::error_code error;
  const fs::file_type type = fs::symlink_status(disk, error).type();
  if (type != fs::file_type::not_found && type != fs::file_type::regular) return false;
  if (!FolderExists(disk)) return false;
  mPendingEmpty = true;
  return true;
}

bool GameFile::ReopenForWrite() {
  if (!IsOpen()) return false;
  CloseHandle();
  mImageActive = false;
  mImage.clear();
  mWriteFailed = false;
  mPendingEmpty = true;
  return Open(mMode);
}

bool GameFile::Delete() {
  if (mPath.empty()) return false;
  mPendingEmpty = false;
  return plat::DeleteFileWhole(mPath);
}

bool GameFile::SeekTo(std::int32_t position) {
  if (position < 0) return true;
  if (mImageActive) {
    mImagePosition = static_cast<std::size_t>(position);
    return true;
  }
  // A seek also ends the previous direction of a disk stream.
  mLast = LastAccess::None;
  return PakSeek(mHandle, position, SEEK_SET) == 0;
}

void GameFile::SwitchTo(LastAccess access) {
  // A C stream needs a positioning call between a read and a following write (or back).
  if (mLast != LastAccess::None && mLast != access && mHandle->diskStream != nullptr)
    std::fseek(mHandle->diskStream, 0, SEEK_CUR);
  mLast = access;
}

bool GameFile::ReadRaw(std::uint8_t* buffer, std::size_t count, std::size_t* got) {
  std::size_t n = 0;
  if (mImageActive) {
    if (mImagePosition < mImage.size()) {
      n = std::min(count, mImage.size() - mImagePosition);
      std::copy_n(mImage.begin() + static_cast<std::ptrdiff_t>(mImagePosition), n, buffer);
      mImagePosition += n;
    }
  } else {
    SwitchTo(LastAccess::Read);
    n = PakRead(buffer, 1, count, mHandle);
  }
  if (got != nullptr) *got = n;
  return n == count;
}

bool GameFile::WriteRaw(const std::uint8_t* buffer, std::size_t count, std::int32_t position) {
  if (!IsOpen()) return false;
  if (!mImageActive && !BeginImage(false)) {
    FailSave(mHandle != nullptr && mHandle->diskStream == nullptr ? "an archive entry cannot be written"
                                                                  : "the file could not be read whole");
    return false;
  }
  if (!SeekTo(position)) return false;
  // Appending mode writes at the end whatever the position.
  if (mMode != kModeReadWrite) mImagePosition = mImage.size();
  if (mImagePosition > kMaxSavedSize || count > kMaxSavedSize - mImagePosition) {
    FailSave("the file would be too large");
    return false;
  }
  if (mImagePosition + count > mImage.size()) mImage.resize(mImagePosition + count, 0);
  std::copy_n(buffer, count, mImage.begin() + static_cast<std::ptrdiff_t>(mImagePosition));
  mImagePosition += count;
  return true;
}

std::size_t GameFile::ReadBytes(void* buffer, std::size_t count) {
  if (!IsOpen()) return 0;
  std::size_t got = 0;
  ReadRaw(static_cast<std::uint8_t*>(buffer), count, &got);
  return got;
}

bool GameFile::ReadU8(std::uint8_t& out, std::int32_t position) {
  if (!IsOpen() || !SeekTo(position)) return false;
  std::uint8_t b = 0;
  if (!ReadRaw(&b, 1)) return false;
  out = b != 0 ? 1 : 0;
  return true;
}

bool GameFile::ReadU16(std::uint16_t& out, std::int32_t position) {
  if (!IsOpen() || !SeekTo(position)) return false;
  std::uint8_t b[2];
  if (!ReadRaw(b, 2)) return false;
  out = static_cast<std::uint16_t>((b[0] << 8) | b[1]);
  return true;
}

bool GameFile::ReadU32(std::uint32_t& out, std::int32_t position) {
  if (!IsOpen() || !SeekTo(position)) return false;
  std::uint8_t b[4];
  if (!ReadRaw(b, 4)) return false;
  out = (std::uint32_t{b[0]} << 24) | (std::uint32_t{b[1]} << 16) | (std::uint32_t{b[2]} << 8) | b[3];
  return true;
}

bool GameFile::WriteU8(std::uint8_t value, std::int32_t position) { return WriteRaw(&value, 1, position); }

bool GameFile::WriteU16(std::uint16_t value, std::int32_t position) {
  const std::uint8_t b[2] = {static_cast<std::uint8_t>(value >> 8), static_cast<std::uint8_t>(value)};
  return WriteRaw(b, 2, position);
}

bool GameFile::WriteU32(std::uint32_t value, std::int32_t position) {
  const std::uint8_t b[4] = {static_cast<std::uint8_t>(value >> 24), static_cast<std::uint8_t>(value >> 16),
                             static_cast<std::uint8_t>(value >> 8), static_cast<std::uint8_t>(value)};
  return WriteRaw(b, 4, position);
}

bool GameFile::WriteString(const std::string& text, std::uint32_t width, std::int32_t position) {
  std::vector<std::uint8_t> field(width, 0);
  std::memcpy(field.data(), text.data(), std::min<std::size_t>(text.size(), width));
  return WriteRaw(field.data(), field.size(), position);
}

bool GameFile::ReadString(std::string& out, std::uint32_t width, std::int32_t position) {
  if (!IsOpen() || !SeekTo(position)) return false;
  std::vector<char> field(std::size_t{width} + 1, 0);
  const bool whole = ReadRaw(reinterpret_cast<std::uint8_t*>(field.data()), width);
  out.assign(field.data());
  return whole;
}

void ReportSaveFailure(const std::string& path, const std::string& reason) {
  std::fprintf(stderr, "Could not save %s: %s\n", path.c_str(), reason.c_str());
}

void ListFilesByExtension(const std::string& folder, const std::string& extension,
                          std::vector<std::string>& out) {
  out.clear();
  const std::string pattern = folder + "*." + extension;
  plat::WIN32_FIND_DATA data;
  plat::HANDLE search = plat::FindFirstFile(pattern.c_str(), &data);
  if (search == plat::INVALID_HANDLE_VALUE) return;
  do {
    if (data.cFileName[0] != '.') out.emplace_back(data.cFileName);
  } while (plat::FindNextFile(search, &data));
  plat::FindClose(search);
}

}  // namespace CommonLibrary
