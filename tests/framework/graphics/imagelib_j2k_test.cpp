// JPEG 2000 through the run-time codec library: nothing without the library, exact pixels of
// lossless files with it, alpha dropped unless asked for, broken files refused.
// The fixtures are lossless OpenJPEG encodings of an 8 x 6 picture: red = 32 x, green = 40 y,
// blue 0x40, and in the JP2 file an alpha of 0x80.
#include <gtest/gtest.h>

#include <memory>

#include "framework/graphics/ImageLib.h"
#include "platform/J2KCodec.h"
#include "platform/Module.h"
#include "tests/framework/graphics/ImageFileFixtures.h"

using ImagePtr = std::unique_ptr<ImageLib::Image>;

namespace {

std::string Data(const char* name) { return std::string(QUORVANE_TEST_DATA_DIR) + "/" + name; }

std::uint32_t Expected(int x, int y, std::uint32_t alpha) {
  return alpha << 24 | static_cast<std::uint32_t>(x * 32) << 16 | static_cast<std::uint32_t>(y * 40) << 8 | 0x40;
}

}  // namespace

TEST(ImageLibJPEG2000, NothingIsReadWhileTheCodecIsAbsent) {
  plat::FreeLibrary(plat::LoadLibrary("j2k-codec.dll"));  // the first load registers the built-in libraries
  plat::UnregisterModule("j2k-codec.dll");
  ImageLib::InitJPEG2000();
  EXPECT_FALSE(ImagePtr(ImageLib::GetImage(Data("rgb8x6.j2k"), false)));
  ImageLib::CloseJPEG2000();
  plat::RegisterJ2KCodecModule();
}

TEST(ImageLibJPEG2000, DecodesCodestreamsAndJp2Files) {
  ImageLib::InitJPEG2000();
  ImagePtr rgb(ImageLib::GetImage(Data("rgb8x6.j2k"), false));
  ASSERT_TRUE(rgb);
  ASSERT_EQ(rgb->mWidth, 8);
  ASSERT_EQ(rgb->mHeight, 6);
  for (int y = 0; y < 6; ++y)
    for (int x = 0; x < 8; ++x) ASSERT_EQ(rgb->mBits[y * 8 + x], Expected(x, y, 0xFF)) << x << "," << y;

  ImagePtr opaque(ImageLib::GetImage(Data("rgba8x6"), false));  // found by the ".jp2" suffix
  ASSERT_TRUE(opaque);
  EXPECT_EQ(opaque->mBits[13], Expected(5, 1, 0xFF));
  ImageLib::IgnoreJPEG2000Alpha = false;
  ImagePtr alpha(ImageLib::GetJPEG2000Image(Data("rgba8x6.jp2")));
  ImageLib::IgnoreJPEG2000Alpha = true;
  ASSERT_TRUE(alpha);
  EXPECT_EQ(alpha->mBits[13], Expected(5, 1, 0x80));

  fixtures::ScratchDir dir("j2k");
  std::vector<std::uint8_t> bytes = fixtures::ReadBytes(Data("rgb8x6.j2k"));
  for (std::size_t cut : {std::size_t{0}, std::size_t{4}, std::size_t{30}, bytes.size() / 2, bytes.size() - 2}) {
    fixtures::WriteBytes(dir.File("cut.j2k"), std::vector<std::uint8_t>(bytes.begin(), bytes.begin() + static_cast<long>(cut)));
    EXPECT_FALSE(ImagePtr(ImageLib::GetImage(dir.File("cut.j2k"), false))) << cut;
  }
  std::vector<std::uint8_t> garbled = bytes;
  for (std::size_t i = 60; i < garbled.size(); i += 3) garbled[i] ^= 0x5A;
  fixtures::WriteBytes(dir.File("garbled.j2k"), garbled);
  ImagePtr survived(ImageLib::GetImage(dir.File("garbled.j2k"), false));  // refused or decoded, never a crash

  // The same few hundred bytes declaring 8000 x 8000 (image and tile size in the SIZ
  // segment): refused rather than decoded from next to nothing.
  std::vector<std::uint8_t> huge = bytes;
  for (std::size_t at : {std::size_t{8}, std::size_t{12}, std::size_t{24}, std::size_t{28}}) {
    huge[at] = 0;
    huge[at + 1] = 0;
    huge[at + 2] = 0x1F;
    huge[at + 3] = 0x40;
  }
  fixtures::WriteBytes(dir.File("huge.j2k"), huge);
  EXPECT_FALSE(ImagePtr(ImageLib::GetImage(dir.File("huge.j2k"), false)));
  // The real 8 x 6 picture cut into 1 x 1 tiles: 48 tiles cannot fit in so few bytes.
  std::vector<std::uint8_t> tiny = bytes;
  tiny[27] = tiny[31] = 1;
  tiny[26] = tiny[30] = 0;
  fixtures::WriteBytes(dir.File("tiles.j2k"), tiny);
  EXPECT_FALSE(ImagePtr(ImageLib::GetImage(dir.File("tiles.j2k"), false)));
  ImageLib::CloseJPEG2000();
}
