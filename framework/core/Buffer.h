// A growable byte buffer written and read bit by bit, least significant bit first, with
// multi-byte values stored low byte first. Demo record streams, demo marker blocks, data
// blocks kept in step between a recording and its playback, and crash-report attachments use it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace Orvo {

class Buffer {
 public:
  // Longest string WriteString stores: the length travels as a signed 16-bit number.
  static constexpr int kMaxStringLength = 0x7FFF;

  Buffer() = default;
  virtual ~Buffer() = default;

  void WriteByte(std::uint8_t value);
  // Writes bits 0 to count-1 of value, lowest first; a count below 1 writes nothing.
  void WriteNumBits(int value, int count);
  void WriteBoolean(bool value);
  void WriteShort(std::int16_t value);
  void WriteLong(std::int32_t value);
  // A 16-bit length and the characters; strings longer than kMaxStringLength are cut
  // to that length so that the stored length always matches the bytes that follow.
  void WriteString(const std::string& text);
  void WriteBytes(const void* data, int count);

  // Returns 0 without moving when a whole byte is not stored at the read position.
  std::uint8_t ReadByte();
  // Reads up to count bits, stopping at the end of the stored bytes.
  int ReadNumBits(int count, bool signExtend);
  bool ReadBoolean();
  std::int16_t ReadShort();
  std::int32_t ReadLong();
  void ReadBytes(void* dest, int count);
  std::string ReadString();

  void SeekFront() { mReadBitPos = 0; }
  int GetDataLen() const { return (mBitSize + 7) / 8; }
  bool AtEnd() const { return mReadBitPos >= mBitSize; }
  const std::uint8_t* GetDataPtr() const { return mData.empty() ? nullptr : mData.data(); }
  void Clear();
  void SetData(const void* data, int count);

  int GetBitSize() const { return mBitSize; }
  int GetReadBitPos() const { return mReadBitPos; }
  void SetReadBitPos(int pos) { mReadBitPos = pos; }
  int GetWriteBitPos() const { return mWriteBitPos; }
  // Bits that can still be read from the stored bytes (0 at or past the end).
  std::int64_t BitsLeft() const;

 private:
  void Advance(int bits);

  std::vector<std::uint8_t> mData;
  std::int32_t mBitSize = 0;
  std::int32_t mReadBitPos = 0;
  std::int32_t mWriteBitPos = 0;
};

}  // namespace Orvo
