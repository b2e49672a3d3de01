// A file opened through the pak archives (or the disk), as the platform's audio decoders and
// WAV reader take files.
#pragma once

#include <climits>
#include <cstdint>

#include "framework/resources/PakInterface.h"
#include "platform/AudioDecode.h"

namespace Orvo {

class PakSoundFile : public plat::SoundFile {
 public:
  explicit PakSoundFile(PakHandle* handle) : mHandle(handle) {}
  ~PakSoundFile() override { PakClose(mHandle); }
  PakSoundFile(const PakSoundFile&) = delete;
  PakSoundFile& operator=(const PakSoundFile&) = delete;
  std::size_t Read(void* buffer, std::size_t bytes) override { return PakRead(buffer, 1, bytes, mHandle); }
  bool Seek(std::int64_t offset, int origin) override {
    return offset >= INT32_MIN && offset <= INT32_MAX && PakSeek(mHandle, static_cast<std::int32_t>(offset), origin) == 0;
  }
  std::int64_t Tell() override { return PakTell(mHandle); }

 private:
  PakHandle* mHandle;
};

}  // namespace Orvo
