// The game file object over the pak-aware file calls, and the folder listing by extension.
#include "kernel/common/GameFile.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "framework/resources/PakInterface.h"
#include "platform/Files.h"

namespace CommonLibrary {

using namespace Orvo;

GameFile::GameFile(const std::string& path) : mPath(path) {}

GameFile::~GameFile() { Close(); }

void GameFile::SetPath(const std::string& path) {
  Close();
  mPath = path;
}

bool GameFile::Open(std::uint32_t mode) {
  if (mPath.empty()) return false;
  CloseHandle();
  mMode = mode;
  mHandle = PakOpen(mPath.c_str(), mode == kModeReadWrite ? "r+b" : "a+");
  if (mHandle == nullptr) return false;
  PakSeek(mHandle, 0, SEEK_SET);
  mLast = LastAccess::None;
  if (mPendingEmpty && mHandle->diskStream != nullptr && BeginScratch(true)) mPendingEmpty = false;
  return true;
}

void GameFile::Close() {
  CloseHandle();
  // An emptying asked for by OpenWrite that no write session took over.
  if (mPendingEmpty && !mPath.empty()) {
    if (std::FILE* f = plat::OpenFileStream(mPath.c_str(), "w")) std::fclose(f);
  }
  mPendingEmpty = false;
}

void GameFile::CloseHandle() {
  if (mHandle == nullptr) return;
  const bool publish = !mScratchPath.empty();
  bool written = true;
  if (publish && mHandle->diskStream != nullptr) written = std::fflush(mHandle->diskStream) == 0;
  written = PakClose(mHandle) == 0 && written;
  mHandle = nullptr;
  mLast = LastAccess::None;
  if (publish) {
    // Only a completely written copy replaces the file.
    if (!written || std::rename(mScratchPath.c_str(), mTargetPath.c_str()) != 0) std::remove(mScratchPath.c_str());
    mScratchPath.clear();
    mTargetPath.clear();
  }
}

bool GameFile::BeginScratch(bool empty) {
  std::FILE* original = mHandle->diskStream;
  const long position = std::ftell(original);
  const std::string target = plat::ResolveFileName(mPath);
  const std::string scratch = target + ".tmp";
  std::FILE* out = plat::OpenFileStream(scratch.c_str(), "wb");
  if (out == nullptr) return false;
  bool ok = true;
  if (!empty) {
    ok = std::fseek(original, 0, SEEK_SET) == 0;
    char buffer[4096];
    std::size_t n = 0;
    while (ok && (n = std::fread(buffer, 1, sizeof(buffer), original)) > 0) ok = std::fwrite(buffer, 1, n, out) == n;
    ok = ok && !std::ferror(original);
  }
  ok = std::fclose(out) == 0 && ok;
  std::FILE* copy = ok ? plat::OpenFileStream(scratch.c_str(), mMode == kModeReadWrite ? "r+b" : "a+") : nullptr;
  if (copy == nullptr) {
    std::remove(scratch.c_str());
    if (!empty) std::fseek(original, position, SEEK_SET);
    return false;
  }
  std::fclose(original);
  mHandle->diskStream = copy;
  std::fseek(copy, empty ? 0 : position, SEEK_SET);
  mScratchPath = scratch;
  mTargetPath = target;
  mLast = LastAccess::None;
  return true;
}

bool GameFile::OpenRead() {
  if (mPath.empty()) return false;
  PakHandle* handle = PakOpen(mPath.c_str(), "r");
  if (handle == nullptr) return false;
  PakClose(handle);
  return true;
}

bool GameFile::OpenWrite() {
  if (mPath.empty()) return false;
  // An existing file keeps its contents until the new ones are published.
  if (std::FILE* existing = plat::OpenFileStream(mPath.c_str(), "r+b")) {
    std::fclose(existing);
    mPendingEmpty = true;
    return true;
  }
  PakHandle* handle = PakOpen(mPath.c_str(), "w");
  if (handle == nullptr) return false;
  PakClose(handle);
  return true;
}

bool GameFile::ReopenForWrite() {
  if (mHandle == nullptr) return false;
  CloseHandle();
  mPendingEmpty = true;
  return Open(mMode);
}

bool GameFile::Delete() {
  if (mPath.empty()) return false;
  mPendingEmpty = false;
  return plat::DeleteFile(mPath.c_str()) != 0;
}

bool GameFile::SeekTo(std::int32_t position) {
  if (position < 0) return true;
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
  SwitchTo(LastAccess::Read);
  const std::size_t n = PakRead(buffer, 1, count, mHandle);
  if (got != nullptr) *got = n;
  return n == count;
}

bool GameFile::WriteRaw(const std::uint8_t* buffer, std::size_t count, std::int32_t position) {
  if (mHandle == nullptr || !SeekTo(position)) return false;
  // Archive entries cannot be written.
  if (mHandle->diskStream == nullptr) return false;
  if (mScratchPath.empty() && !BeginScratch(false)) return false;
  SwitchTo(LastAccess::Write);
  // Flushed at once, so a full disk is reported by the write that hit it.
  return std::fwrite(buffer, 1, count, mHandle->diskStream) == count && std::fflush(mHandle->diskStream) == 0;
}

std::size_t GameFile::ReadBytes(void* buffer, std::size_t count) {
  if (mHandle == nullptr) return 0;
  std::size_t got = 0;
  ReadRaw(static_cast<std::uint8_t*>(buffer), count, &got);
  return got;
}

bool GameFile::ReadU8(std::uint8_t& out, std::int32_t position) {
  if (mHandle == nullptr || !SeekTo(position)) return false;
  std::uint8_t b = 0;
  if (!ReadRaw(&b, 1)) return false;
  out = b != 0 ? 1 : 0;
  return true;
}

bool GameFile::ReadU16(std::uint16_t& out, std::int32_t position) {
  if (mHandle == nullptr || !SeekTo(position)) return false;
  std::uint8_t b[2];
  if (!ReadRaw(b, 2)) return false;
  out = static_cast<std::uint16_t>((b[0] << 8) | b[1]);
  return true;
}

bool GameFile::ReadU32(std::uint32_t& out, std::int32_t position) {
  if (mHandle == nullptr || !SeekTo(position)) return false;
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
  if (mHandle == nullptr || !SeekTo(position)) return false;
  std::vector<char> field(std::size_t{width} + 1, 0);
  const bool whole = ReadRaw(reinterpret_cast<std::uint8_t*>(field.data()), width);
  out.assign(field.data());
  return whole;
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
