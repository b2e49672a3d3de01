// The game's own data files (maps, player files, option files): big-endian numbers and
// fixed-width zero-filled text fields at explicit positions. Reading goes through the
// pak-aware file calls, so a file may come from an archive; writing only reaches plain files.
// Writes go to a scratch copy beside the file ("<name>.tmp") that replaces the file when it
// is closed, so a crash in the middle of saving leaves the previous contents whole.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace Orvo {
struct PakHandle;
}

namespace CommonLibrary {

class GameFile {
 public:
  // Mode for Open: read and write an existing file ("r+b"); any other value appends ("a+").
  static constexpr std::uint32_t kModeReadWrite = 1;

  explicit GameFile(const std::string& path = std::string());
  ~GameFile();
  GameFile(const GameFile&) = delete;
  GameFile& operator=(const GameFile&) = delete;

  void SetPath(const std::string& path);
  const std::string& GetPath() const { return mPath; }
  bool IsOpen() const { return mHandle != nullptr; }

  bool Open(std::uint32_t mode);
  void Close();
  // Whether the file can be opened for reading; leaves this object's own file alone.
  bool OpenRead();
  // Creates the file or cuts it to length 0. An existing file is only cut when the next
  // Open's writes are published by Close (or at Close when no Open follows), so its old
  // contents survive until the new ones are complete.
  bool OpenWrite();
  // Cuts the open file to length 0 (in the same safe way) and opens it again with the same mode.
  bool ReopenForWrite();
  bool Delete();

  // Every read and write first seeks to `position` from the start when it is 0 or more;
  // a negative position works at the current position. Outputs are left unchanged on failure
  // (except ReadString, below).
  bool ReadU8(std::uint8_t& out, std::int32_t position);  // 1 for any non-zero byte
  bool ReadU16(std::uint16_t& out, std::int32_t position);
  bool ReadU32(std::uint32_t& out, std::int32_t position);
  // Writes report whether every byte reached the file (never for an archive entry).
  bool WriteU8(std::uint8_t value, std::int32_t position);
  bool WriteU16(std::uint16_t value, std::int32_t position);
  bool WriteU32(std::uint32_t value, std::int32_t position);
  // Exactly `width` bytes: the text and a zero, zero-padded; a text that does not fit is cut
  // to `width` bytes without a terminating zero.
  bool WriteString(const std::string& text, std::uint32_t width, std::int32_t position);
  // Reads a `width`-byte field; `out` becomes the text up to the first zero byte, even when
  // the field was cut short (then false is returned).
  bool ReadString(std::string& out, std::uint32_t width, std::int32_t position);

  // Raw reads for whole-file loaders: how many bytes were read at the current position.
  std::size_t ReadBytes(void* buffer, std::size_t count);

 private:
  enum class LastAccess { None, Read, Write };

  bool SeekTo(std::int32_t position);
  // Closes the open file (publishing its scratch copy) without touching a pending emptying.
  void CloseHandle();
  // Moves the open disk file into a scratch copy (empty when `empty`) that later writes go to.
  bool BeginScratch(bool empty);
  bool ReadRaw(std::uint8_t* buffer, std::size_t count, std::size_t* got = nullptr);
  bool WriteRaw(const std::uint8_t* buffer, std::size_t count, std::int32_t position);
  void SwitchTo(LastAccess access);

  std::string mPath;
  Orvo::PakHandle* mHandle = nullptr;
  std::uint32_t mMode = kModeReadWrite;
  LastAccess mLast = LastAccess::None;
  bool mPendingEmpty = false;  // OpenWrite has asked for an empty file
  std::string mScratchPath;    // set while writes go to a scratch copy
  std::string mTargetPath;     // the file the scratch copy replaces
};

// Names (without their folder) of the entries of `folder` matching "*." + `extension`, sorted
// by name, skipping names that begin with '.'. `folder` is used as given, so it is empty or
// ends with a separator.
void ListFilesByExtension(const std::string& folder, const std::string& extension,
                          std::vector<std::string>& out);

}  // namespace CommonLibrary
