// The bit buffer: byte layout of unaligned writes, round trips at every bit offset,
// reads past the end, and strings too long for their 16-bit length.
#include "framework/core/Buffer.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using Orvo::Buffer;

TEST(Buffer, UnalignedByteFillsTheLastByteFromBitR) {
  Buffer b;
  b.WriteNumBits(5, 3);
  b.WriteByte(0xFF);
  ASSERT_EQ(b.GetDataLen(), 2);
  EXPECT_EQ(b.GetDataPtr()[0], 0xFD);
  EXPECT_EQ(b.GetDataPtr()[1], 0x07);
  EXPECT_EQ(b.GetBitSize(), 11);
}

TEST(Buffer, SignExtensionFollowsTheLastBitRead) {
  Buffer b;
  b.WriteNumBits(-3, 6);
  EXPECT_EQ(b.ReadNumBits(6, true), -3);
  b.SeekFront();
  EXPECT_EQ(b.ReadNumBits(6, false), 61);
}

TEST(Buffer, EveryKindRoundTripsAtEveryBitOffset) {
  const std::vector<std::uint8_t> raw = {0x00, 0xFF, 0x80, 0x01, 0x5A};
  const std::string text("a\0b", 3);
  for (int offset = 0; offset < 16; ++offset) {
    SCOPED_TRACE(offset);
    Buffer b;
    b.WriteNumBits(0x1555, offset);
    b.WriteNumBits(1, 1);
    b.WriteByte(0xA7);
    b.WriteBoolean(true);
    b.WriteBoolean(false);
    b.WriteShort(-2);
    b.WriteShort(0x1234);
    b.WriteLong(static_cast<std::int32_t>(0x89ABCDEF));
    b.WriteString(text);
    b.WriteString("");
    b.WriteBytes(raw.data(), static_cast<int>(raw.size()));
    b.WriteNumBits(-1, 32);
    b.WriteNumBits(5, 3);

    EXPECT_EQ(b.GetBitSize(), offset + 1 + 8 * (1 + 2 + 4 + 4 + 5 + 2 + 5 + 4) + 3);
    EXPECT_EQ(b.ReadNumBits(offset, false), 0x1555 & ((1 << offset) - 1));
    EXPECT_EQ(b.ReadNumBits(1, false), 1);
    EXPECT_EQ(b.ReadByte(), 0xA7);
    EXPECT_TRUE(b.ReadBoolean());
    EXPECT_FALSE(b.ReadBoolean());
    EXPECT_EQ(b.ReadShort(), -2);
    EXPECT_EQ(b.ReadShort(), 0x1234);
    EXPECT_EQ(static_cast<std::uint32_t>(b.ReadLong()), 0x89ABCDEFu);
    EXPECT_EQ(b.ReadString(), text);
    EXPECT_EQ(b.ReadString(), "");
    std::vector<std::uint8_t> back(raw.size());
    b.ReadBytes(back.data(), static_cast<int>(back.size()));
    EXPECT_EQ(back, raw);
    EXPECT_EQ(b.ReadNumBits(32, false), -1);
    EXPECT_FALSE(b.AtEnd());
    EXPECT_EQ(b.ReadNumBits(3, true), -3);
    EXPECT_TRUE(b.AtEnd());
  }
}

TEST(Buffer, ReadsPastTheStoredBytes) {
  Buffer b;
  b.WriteByte(0x00);
  b.WriteByte(0xFE);
  b.SetReadBitPos(9);
  EXPECT_EQ(b.ReadByte(), 0);  // no whole byte left: refuses without moving
  EXPECT_EQ(b.GetReadBitPos(), 9);
  EXPECT_EQ(b.ReadNumBits(8, false), 0x7F);  // the 7 remaining bits
  EXPECT_EQ(b.GetReadBitPos(), 16);
}

TEST(Buffer, EmptyOrNegativeStringLengthsConsumeOnlyTheLength) {
  for (std::int16_t length : {std::int16_t{0}, std::int16_t{-5}}) {
    Buffer b;
    b.WriteShort(length);
    b.WriteByte('x');
    EXPECT_EQ(b.ReadString(), "");
    EXPECT_EQ(b.GetReadBitPos(), 16);
  }
}

// A length of 32,768 or more does not fit the signed 16-bit length: the string is cut to
// 32,767 bytes so that what follows it in the stream still reads back.
TEST(Buffer, OverlongStringsAreCutSoTheStreamStaysInStep) {
  for (std::size_t size : {std::size_t{32767}, std::size_t{32768}, std::size_t{70000}}) {
    SCOPED_TRACE(size);
    Buffer b;
    b.WriteNumBits(1, 3);
    b.WriteString(std::string(size, 'q'));
    b.WriteLong(77);
    b.ReadNumBits(3, false);
    EXPECT_EQ(b.ReadString(), std::string(std::min<std::size_t>(size, 32767), 'q'));
    EXPECT_EQ(b.ReadLong(), 77);
  }
}

TEST(Buffer, FreshClearedAndSetData) {
  Buffer b;
  EXPECT_TRUE(b.AtEnd());
  EXPECT_EQ(b.GetDataPtr(), nullptr);
  b.WriteLong(5);
  b.Clear();
  EXPECT_TRUE(b.AtEnd());
  EXPECT_EQ(b.GetDataPtr(), nullptr);
  EXPECT_EQ(b.GetDataLen(), 0);

  b.WriteLong(1);
  b.SetReadBitPos(5);
  const std::uint8_t bytes[3] = {1, 2, 3};
  b.SetData(bytes, 3);
  EXPECT_EQ(b.GetBitSize(), 24);
  EXPECT_EQ(b.GetReadBitPos(), 5);
  b.SetData(bytes, 0);
  EXPECT_EQ(b.GetBitSize(), 0);
  EXPECT_EQ(b.GetDataPtr(), nullptr);
}
