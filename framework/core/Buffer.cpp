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
  const auto bits = static_cast<std::uint32_t>(value);
  int pos = mWriteBitPos;
  for (int i = 0; i < count && i < 32; ++i, ++pos) {
    if (pos % 8 == 0) mData.push_back(0);
    if ((bits >> i) & 1u) mData.back() |= static_cast<std::uint8_t>(1u << (pos % 8));
  }
  Advance(std::clamp(count, 0, 32));
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
  const auto* bytes = static_cast<const std::uint8_t*>(data);
  for (int i = 0; i < count; ++i) WriteByte(bytes[i]);
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
  for (int i = 0; i < n; ++i) {
    const std::size_t index = static_cast<std::size_t>(mReadBitPos / 8);
    if (mReadBitPos < 0 || index >= mData.size()) break;
    lastBit = (mData[index] >> (mReadBitPos % 8)) & 1u;
    if (lastBit) value |= 1u << i;
    ++mReadBitPos;
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
