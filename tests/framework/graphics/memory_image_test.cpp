// MemoryImage pixel forms: transparency flags, run-length tables, palettes, copies,
// purged images rebuilt from display-format data, animation descriptions and handles.
#include <gtest/gtest.h>

#include <limits>
#include <memory>
#include <vector>

#include "framework/graphics/NativeDisplay.h"
#include "framework/graphics/SharedImage.h"
#include "tests/framework/graphics/GraphicsTestUtil.h"

using namespace Orvo;
using gtest_util::FromPixels;
using gtest_util::Solid;

TEST(MemoryImage, CommitBitsSetsTransparencyFlagsFromAlpha) {
  struct Case {
    std::vector<std::uint32_t> px;
    bool trans, alpha;
  } cases[] = {
      {{0x00000000, 0xFF000000}, true, false},
      {{0x80000000, 0xFFFFFFFF}, false, true},
      {{0xFF123456, 0xFF000000}, false, false},
      {{0x00000000, 0x01000000}, true, true},
  };
  for (const Case& c : cases) {
    std::unique_ptr<MemoryImage> img(FromPixels(2, 1, c.px));
    EXPECT_EQ(img->mHasTrans, c.trans);
    EXPECT_EQ(img->mHasAlpha, c.alpha);
  }
}

TEST(MemoryImage, ForcedModeIsNeverRecomputed) {
  MemoryImage img(nullptr);
  img.SetImageMode(false, false);
  std::uint32_t px[2] = {0x00000000, 0x80FFFFFF};
  img.SetBits(px, 2, 1);
  img.CommitBits();
  EXPECT_FALSE(img.mHasTrans);
  EXPECT_FALSE(img.mHasAlpha);
  EXPECT_EQ(img.RasterFormat(), 0x888);
}

TEST(MemoryImage, SetBitsKeepsGuardWordAndIgnoresOwnPointer) {
  std::unique_ptr<MemoryImage> img(Solid(3, 2, 0xFF112233));
  EXPECT_EQ(img->mBits[6], MEMORYIMAGE_GUARD_WORD);
  std::uint32_t count = img->mBitsChangedCount;
  img->SetBits(img->mBits, 3, 2);
  EXPECT_EQ(img->mBitsChangedCount, count);
  img->Create(5, 5);
  std::uint32_t* bits = img->GetBits();
  ASSERT_NE(bits, nullptr);
  EXPECT_EQ(bits[0], 0u);
  EXPECT_EQ(bits[25], MEMORYIMAGE_GUARD_WORD);
}

TEST(MemoryImage, RunLengthAlphaCountsDownEachRunCappedAt255) {
  std::unique_ptr<MemoryImage> wide(Solid(300, 1, 0xFFFFFFFF));
  const std::uint8_t* rl = wide->GetRLAlphaData();
  for (int i = 0; i < 45; ++i) ASSERT_EQ(rl[i], 255) << i;
  for (int i = 45; i < 300; ++i) ASSERT_EQ(rl[i], 300 - i) << i;

  std::unique_ptr<MemoryImage> mixed(FromPixels(3, 2, {0x00000000, 0xFF000000, 0xFF000000,  //
                                                        0x80000000, 0x80000001, 0xFF000000}));
  const std::uint8_t* m = mixed->GetRLAlphaData();
  std::vector<int> got(m, m + 6);
  EXPECT_EQ(got, (std::vector<int>{1, 2, 1, 2, 1, 1}));  // runs never cross rows

  std::unique_ptr<MemoryImage> column(FromPixels(1, 3, {0xFF000000, 0xFF000000, 0}));
  const std::uint8_t* c = column->GetRLAlphaData();
  EXPECT_EQ(std::vector<int>(c, c + 3), (std::vector<int>{1, 1, 1}));
}

TEST(MemoryImage, PalettizeHoldsAtMost256Colours) {
  std::vector<std::uint32_t> px(257);
  for (int i = 0; i < 257; ++i) px[i] = 0xFF000000u | static_cast<std::uint32_t>(i * 7919);
  std::unique_ptr<MemoryImage> fits(FromPixels(256, 1, std::vector<std::uint32_t>(px.begin(), px.begin() + 256)));
  ASSERT_TRUE(fits->Palletize());
  EXPECT_EQ(fits->mBits, nullptr);
  EXPECT_TRUE(fits->mWantPal);
  for (int i = 0; i < 256; ++i) ASSERT_EQ(fits->mColorTable[fits->mColorIndices[i]], px[i]);

  std::unique_ptr<MemoryImage> tooMany(FromPixels(257, 1, px));
  EXPECT_FALSE(tooMany->Palletize());
  EXPECT_NE(tooMany->mBits, nullptr);
  EXPECT_EQ(tooMany->mColorTable, nullptr);
  EXPECT_EQ(gtest_util::Px(tooMany.get(), 256, 0), px[256]);
}

TEST(MemoryImage, CopyOfPalettizedImageRebuildsOnlyItsOwnBits) {
  std::unique_ptr<MemoryImage> img(FromPixels(2, 2, {0xFF0000FF, 0xFF00FF00, 0xFF0000FF, 0x00000000}));
  ASSERT_TRUE(img->Palletize());
  MemoryImage copy(*img);
  EXPECT_EQ(copy.mBits, nullptr);
  ASSERT_NE(copy.mColorTable, nullptr);
  ASSERT_NE(copy.mColorIndices, nullptr);
  std::uint32_t* bits = copy.GetBits();
  EXPECT_EQ(bits[1], 0xFF00FF00u);
  EXPECT_EQ(bits[3], 0u);
  EXPECT_EQ(copy.mColorTable, nullptr);
  EXPECT_NE(img->mColorTable, nullptr);  // the original stays palettized
  EXPECT_EQ(img->mBits, nullptr);
}

// Create used to keep an old palette: a later GetBits then rebuilt the new, larger size from
// the old index table and read past it.
TEST(MemoryImage, CreateDropsAnOldPalette) {
  std::unique_ptr<MemoryImage> img(FromPixels(2, 1, {0xFFFF0000, 0xFF00FF00}));
  ASSERT_TRUE(img->Palletize());
  img->Create(64, 64);
  EXPECT_EQ(img->mColorTable, nullptr);
  EXPECT_EQ(img->mColorIndices, nullptr);
  std::uint32_t* bits = img->GetBits();
  ASSERT_NE(bits, nullptr);
  for (int i = 0; i < 64 * 64; ++i) ASSERT_EQ(bits[i], 0u);
  img->CommitBits();
  EXPECT_TRUE(img->mHasTrans);
}

TEST(MemoryImage, PurgedImageIsRebuiltFromDisplayFormatData) {
  NativeDisplay d565;
  d565.mRGBBits = 16;
  d565.mRedMask = 0xF800;
  d565.mGreenMask = 0x7E0;
  d565.mBlueMask = 0x1F;
  d565.mRedBits = 5;
  d565.mGreenBits = 6;
  d565.mBlueBits = 5;
  d565.mRedShift = 11;
  d565.mGreenShift = 5;
  d565.mBlueShift = 0;
  std::unique_ptr<MemoryImage> img(FromPixels(2, 1, {0xFF123456, 0x00000000}));
  std::uint32_t* native = img->GetNativeAlphaData(&d565);
  EXPECT_EQ(native[0], 0xFF000000u | 0x1000 | 0x1A0 | 0xA);
  img->PurgeBits();
  EXPECT_EQ(img->mBits, nullptr);
  std::uint32_t* bits = img->GetBits();
  EXPECT_EQ(bits[0], 0xFF103450u);  // each channel cut to the display's bits
  EXPECT_EQ(bits[1], 0u);
  EXPECT_EQ(bits[2], MEMORYIMAGE_GUARD_WORD);
}

TEST(MemoryImage, RunLengthAdditiveSeparatesBlackFromColour) {
  std::unique_ptr<MemoryImage> img(FromPixels(4, 1, {0xFF000000, 0xFF000000, 0xFF010000, 0x80000000}));
  const std::uint8_t* rl = img->GetRLAdditiveData(nullptr);
  EXPECT_EQ(std::vector<int>(rl, rl + 4), (std::vector<int>{2, 1, 1, 1}));
}

TEST(AnimInfo, PingPongAndPerFrameDelays) {
  AnimInfo a;
  a.mAnimType = AnimInfo::TYPE_PINGPONG;
  a.mFrameDelay = 10;
  a.Compute(4);
  EXPECT_EQ(a.mFrameMap, (std::vector<int>{0, 1, 2, 3, 2, 1}));
  EXPECT_EQ(a.mNumCels, 6);
  EXPECT_EQ(a.mTotalAnimTime, 60);

  AnimInfo b;
  b.mAnimType = AnimInfo::TYPE_LOOP;
  b.mFrameDelay = 0;
  b.Compute(3, 50, 70);
  EXPECT_EQ(b.mFrameDelay, 1);
  EXPECT_EQ(b.mPerFrameDelay, (std::vector<int>{50, 1, 70}));
  EXPECT_EQ(b.mTotalAnimTime, 121);
}

TEST(AnimInfo, TotalTimeBeyondAnIntIsReported) {
  AnimInfo even;
  even.mFrameDelay = std::numeric_limits<int>::max() / 2;
  EXPECT_TRUE(even.Compute(2));
  EXPECT_EQ(even.mTotalAnimTime, std::numeric_limits<int>::max() - 1);

  for (const bool perFrame : {false, true}) {
    AnimInfo a;
    a.mAnimType = AnimInfo::TYPE_LOOP;
    a.mFrameDelay = 1 << 30;
    EXPECT_FALSE(perFrame ? a.Compute(3, 5, 1 << 30) : a.Compute(3)) << perFrame;
    EXPECT_EQ(a.mTotalAnimTime, std::numeric_limits<int>::max()) << perFrame;
  }
}

TEST(Image, CopyAttributesFromAnotherImageOrItself) {
  std::unique_ptr<MemoryImage> strip(Solid(8, 2, 0xFF000000));
  strip->mNumRows = 2;
  strip->mNumCols = 4;
  strip->mAnimInfo = new AnimInfo();
  strip->mAnimInfo->mFrameDelay = 7;
  strip->mAnimInfo->Compute(8);

  std::unique_ptr<MemoryImage> other(Solid(8, 2, 0xFF000000));
  other->CopyAttributes(strip.get());
  ASSERT_NE(other->mAnimInfo, nullptr);
  EXPECT_NE(other->mAnimInfo, strip->mAnimInfo);  // a copy of its own
  EXPECT_EQ(other->mAnimInfo->mTotalAnimTime, 56);

  // Given itself, the image keeps what it has (the old description is not read after it went).
  strip->CopyAttributes(strip.get());
  EXPECT_EQ(strip->mNumRows, 2);
  EXPECT_EQ(strip->mNumCols, 4);
  ASSERT_NE(strip->mAnimInfo, nullptr);
  EXPECT_EQ(strip->mAnimInfo->mFrameDelay, 7);
  EXPECT_EQ(strip->mAnimInfo->mTotalAnimTime, 56);

  std::unique_ptr<MemoryImage> plain(Solid(1, 1, 0));
  other->CopyAttributes(plain.get());
  EXPECT_EQ(other->mAnimInfo, nullptr);
  EXPECT_EQ(other->mNumCols, 1);
  other->CopyAttributes(nullptr);  // nothing to copy: unchanged
  EXPECT_EQ(other->mNumCols, 1);
}

TEST(SharedImageRef, CountsReferencesAndNeverDeletesTheSharedImage) {
  SharedImage shared;
  {
    SharedImageRef a(&shared);
    SharedImageRef b(a);
    EXPECT_EQ(shared.mRefCount, 2);
    SharedImageRef c;
    c = b;
    c = b;  // the same image again: still counted once for c
    EXPECT_EQ(shared.mRefCount, 3);
    b.Release();
    EXPECT_EQ(shared.mRefCount, 2);
  }
  EXPECT_EQ(shared.mRefCount, 0);

  MemoryImage* plain = new MemoryImage(nullptr);
  SharedImageRef owner;
  owner = plain;
  EXPECT_EQ(owner.GetDDImage(), nullptr);
  SharedImageRef copy(owner);
  EXPECT_EQ(copy.mUnsharedImage, plain);  // the copy constructor shares the plain pointer
  SharedImageRef assigned;
  assigned = owner;
  EXPECT_EQ(assigned.mUnsharedImage, nullptr);  // assignment takes only the shared part
  owner.mOwnsUnshared = true;
  owner.Release();  // deletes the image (checked by the address sanitizer build)
  EXPECT_EQ(owner.mUnsharedImage, nullptr);
}
