// The bit buffer: every write appends at the end of the byte array, every read walks a
// separate bit position through it.
#include "framework/core/Buffer.h"

#include <algorithm>
#include <cstring>

namespace Orvo {

void Buffer::Advance(int bits) {
  mWriteBitPos += bits;
  mBitSize = std::max(mBitSize, mWriteBitPos);
}

void Buffer::WriteByte(std::uint8_t value) {
  const int r = mWriteBitPos % 8;
  if (r == 0) {
    mData.push_back(value);
  } else {
    if (mData.empty()) mData.push_back(0);
    mData.back() |= static_cast<std::uint8_t>(value << r);
    mData.push_back(static_cast<std::uint8_t>(value >> (8 - r)));
  }
  Advance(8);
}

void Buffer::WriteNumBits(int value, int count) {
  const int n = std::clamp(count, 0, 32);
  std::uint64_t bits = static_cast<std::uint32_t>(value);
  int pos = mWriteBitPos;
  // Whole runs of bits go into each byte at once: a new zero byte at every byte boundary,
  // the low bits of what is left ORed in at the current bit.
  for (int left = n; left > 0;) {
    const int r = pos % 8;
    if (r == 0 || mData.empty()) mData.push_back(0);
    const int take = std::min(8 - r, left);
    mData.back() |= static_cast<std::uint8_t>((bits & ((1u << take) - 1)) << r);
    bits >>= take;
    left -= take;
    pos += take;
  }
  Advance(n);
}

void Buffer::WriteBoolean(bool value) { WriteByte(value ? 1 : 0); }

void Buffer::WriteShort(std::int16_t value) {
  const auto v = static_cast<std::uint16_t>(value);
  WriteByte(static_cast<std::uint8_t>(v & 0xFF));
  WriteByte(static_cast<std::uint8_t>(v >> 8));
}

void Buffer::WriteLong(std::int32_t value) {
  const auto v = static_cast<std::uint32_t>(value);
  for (int i = 0; i < 4; ++i) WriteByte(static_cast<std::uint8_t>((v >> (8 * i)) & 0xFF));
}

void Buffer::WriteString(const std::string& text) {
  const int length = static_cast<int>(std::min<std::size_t>(text.size(), kMaxStringLength));
  WriteShort(static_cast<std::int16_t>(length));
  WriteBytes(text.data(), length);
}

void Buffer::WriteBytes(const void* data, int count) {
  if (count < 1 || data == nullptr) return;
  const auto* bytes = static_cast<const std::uint8_t*>(data);
  if (mWriteBitPos % 8 == 0) {
    mData.insert(mData.end(), bytes, bytes + count);
    Advance(8 * count);
    return;
  }
  // Unaligned: each byte's low bits complete the last byte, its high bits start the next.
  const int r = mWriteBitPos % 8;
  if (mData.empty()) mData.push_back(0);  // positions left over from SetData of nothing
  const std::size_t start = mData.size();
  mData.resize(start + static_cast<std::size_t>(count));
  std::uint8_t* out = mData.data() + start;
  for (int i = 0; i < count; ++i) {
    out[i - 1] |= static_cast<std::uint8_t>(bytes[i] << r);
    out[i] = static_cast<std::uint8_t>(bytes[i] >> (8 - r));
  }
  Advance(8 * count);
}

std::uint8_t Buffer::ReadByte() {
  const std::int64_t size = static_cast<std::int64_t>(mData.size());
  if ((static_cast<std::int64_t>(mReadBitPos) + 7) / 8 >= size) return 0;
  const int index = mReadBitPos / 8;
  const int r = mReadBitPos % 8;
  std::uint32_t value = mData[index] >> r;
  if (r != 0) value |= static_cast<std::uint32_t>(mData[index + 1]) << (8 - r);
  mReadBitPos += 8;
  return static_cast<std::uint8_t>(value & 0xFF);
}

int Buffer::ReadNumBits(int count, bool signExtend) {
  std::uint32_t value = 0;
  bool lastBit = false;
  const int n = std::min(count, 32);
  int got = 0;
  while (got < n && mReadBitPos >= 0) {
    const std::size_t index = static_cast<std::size_t>(mReadBitPos / 8);
    if (index >= mData.size()) break;  // stops at the end of the stored bytes
    const int r = mReadBitPos % 8;
    const int take = std::min(8 - r, n - got);
    const std::uint32_t chunk = (static_cast<std::uint32_t>(mData[index]) >> r) & ((1u << take) - 1);
    value |= chunk << got;
    lastBit = (chunk >> (take - 1)) & 1u;
    got += take;
    mReadBitPos += take;
  }
  if (signExtend && lastBit && n < 32) value |= ~0u << n;
  return static_cast<int>(value);
}

bool Buffer::ReadBoolean() { return ReadByte() != 0; }

std::int16_t Buffer::ReadShort() {
  const std::uint16_t lo = ReadByte();
  const std::uint16_t hi = ReadByte();
  return static_cast<std::int16_t>(lo | (hi << 8));
}

std::int32_t Buffer::ReadLong() {
  std::uint32_t v = 0;
  for (int i = 0; i < 4; ++i) v |= static_cast<std::uint32_t>(ReadByte()) << (8 * i);
  return static_cast<std::int32_t>(v);
}

void Buffer::ReadBytes(void* dest, int count) {
  auto* bytes = static_cast<std::uint8_t*>(dest);
  for (int i = 0; i < count; ++i) bytes[i] = ReadByte();
}

std::string Buffer::ReadString() {
  const int length = ReadShort();
  std::string text;
  if (length < 1) return text;
  text.reserve(static_cast<std::size_t>(length));
  for (int i = 0; i < length; ++i) text.push_back(static_cast<char>(ReadByte()));
  return text;
}

void Buffer::Clear() {
  mData.clear();
  mBitSize = mReadBitPos = mWriteBitPos = 0;
}

void Buffer::SetData(const void* data, int count) {
  const auto* bytes = static_cast<const std::uint8_t*>(data);
  if (count > 0 && bytes != nullptr)
    mData.assign(bytes, bytes + count);
  else
    mData.clear();
  mBitSize = static_cast<std::int32_t>(mData.size() * 8);
}

std::int64_t Buffer::BitsLeft() const {
  const std::int64_t left = static_cast<std::int64_t>(mData.size()) * 8 - mReadBitPos;
  return left > 0 ? left : 0;
}

}  // namespace Orvo
