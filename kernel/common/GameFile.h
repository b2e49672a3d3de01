// The game's own data files (maps, player files, option files): big-endian numbers and
// fixed-width zero-filled text fields at explicit positions. Reading goes through the
// pak-aware file calls, so a file may come from an archive; writing only reaches plain files.
// Writes change a copy of the file held in memory; Close replaces the file on disk with that
// copy in one piece (scratch file, flush, rename), and only when every write succeeded, so a
// crash or a full disk never leaves a short, empty or half-written file.
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
  // Mode for Open: read and update an existing file; any other value appends (and creates).
  static constexpr std::uint32_t kModeReadWrite = 1;

  explicit GameFile(const std::string& path = std::string());
  ~GameFile();
  GameFile(const GameFile&) = delete;
  GameFile& operator=(const GameFile&) = delete;

  void SetPath(const std::string& path);
  const std::string& GetPath() const { return mPath; }
  bool IsOpen() const { return mHandle != nullptr || mImageActive; }

  // Opens for reading; the file is only opened for reading, since writes go to the copy.
  // Refuses anything on disk that is not a regular file. A scratch file left beside the
  // file by an interrupted save is removed.
  bool Open(std::uint32_t mode);
  // Ends the session. When anything was written, the file is replaced by the new contents,
  // unless a write failed. False when this session's save failed (see GetSaveError); the
  // file on disk then keeps its old contents.
  bool Close();
  // Whether the file can be opened for reading; leaves this object's own file alone. Removes
  // a leftover scratch file, as Open does.
  bool OpenRead();
  // Asks for an empty file: the next Open starts from no contents, and the file on disk is
  // replaced (or created) only at Close. Without an Open, Close writes the empty file.
  // False when the path is empty, names something other than a file, or its folder is missing.
  bool OpenWrite();
  // Empties the open file's contents (replaced at Close as above) and opens it again.
  bool ReopenForWrite();
  bool Delete();

  // Every read and write first seeks to `position` from the start when it is 0 or more;
  // a negative position works at the current position. Outputs are left unchanged on failure
  // (except ReadString, below).
  bool ReadU8(std::uint8_t& out, std::int32_t position);  // 1 for any non-zero byte
  bool ReadU16(std::uint16_t& out, std::int32_t position);
  bool ReadU32(std::uint32_t& out, std::int32_t position);
  // Writes report whether the bytes went into the new contents: never for an archive entry,
  // and a failed write makes the whole save fail at Close.
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

  // Why the last save of this object failed ("No space left on device", ...); empty after
  // a save that succeeded and before any save.
  const std::string& GetSaveError() const { return mSaveError; }

 private:
  enum class LastAccess { None, Read, Write };

  bool SeekTo(std::int32_t position);
  // Takes the file's current contents into memory (nothing when `empty`) for writing.
  bool BeginImage(bool empty);
  // Replaces the file on disk with the copy in memory.
  bool Publish();
  void FailSave(const std::string& reason);
  bool ReadRaw(std::uint8_t* buffer, std::size_t count, std::size_t* got = nullptr);
  bool WriteRaw(const std::uint8_t* buffer, std::size_t count, std::int32_t position);
  void SwitchTo(LastAccess access);
  void CloseHandle();

  std::string mPath;
  Orvo::PakHandle* mHandle = nullptr;  // reading, until the first write
  std::uint32_t mMode = kModeReadWrite;
  LastAccess mLast = LastAccess::None;
  bool mPendingEmpty = false;           // OpenWrite has asked for an empty file
  bool mImageActive = false;            // reads and writes use mImage
  std::vector<std::uint8_t> mImage;     // the new contents
  std::size_t mImagePosition = 0;
  bool mWriteFailed = false;            // a write of this session failed: nothing is saved
  std::string mSaveError;
};

// Tells the log (the program's standard error) that saving `path` failed and why.
void ReportSaveFailure(const std::string& path, const std::string& reason);

// Names (without their folder) of the entries of `folder` matching "*." + `extension`, sorted
// by name, skipping names that begin with '.'. `folder` is used as given, so it is empty or
// ends with a separator.
void ListFilesByExtension(const std::string& folder, const std::string& extension,
                          std::vector<std::string>& out);

}  // namespace CommonLibrary
