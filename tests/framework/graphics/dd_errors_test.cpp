// Result codes to SDK constant names, including the shared generic codes and the fallback.
#include "framework/graphics/DirectXErrors.h"

#include <gtest/gtest.h>

#include "platform/DirectDraw.h"

namespace {

TEST(DirectXErrorName, NamesEachFamilyAndTheSharedGenericCodes) {
  const struct {
    std::uint32_t code;
    const char* name;
  } cases[] = {
      {0x887601C2, "DDERR_SURFACELOST"},      {0x88760091, "DDERR_INVALIDPIXELFORMAT"},
      {0x88780078, "DSERR_NODRIVER"},         {0x887602C1, "D3DERR_INVALID_DEVICE"},
      {0x80004005, "DSERR_GENERIC"},          {0x80070057, "DDERR_INVALIDPARAMS"},
      {0x80004001, "DDERR_UNSUPPORTED"},      {0x800401F0, "DDERR_NOTINITIALIZED"},
      {0x8007000E, "E_OUTOFMEMORY"},          {0x80040110, "DSERR_NOAGGREGATION"},
      {0x80004002, "DSERR_NOINTERFACE"},      {0x88760005, "DDERR_ALREADYINITIALIZED"},
      {0x887602B3, "DDERR_EXPIRED"},          {0x887602BC, "D3DERR_BADMAJORVERSION"},
      {0x88760836, "D3DERR_NOTINBEGINSTATEBLOCK"}, {0x887800AA, "DSERR_UNINITIALIZED"},
  };
  for (const auto& c : cases) EXPECT_EQ(Orvo::DirectXErrorName(c.code), c.name) << std::hex << c.code;
}

TEST(DirectXErrorName, CodesWithoutANameComeOutAsLowerCaseHex) {
  EXPECT_EQ(Orvo::DirectXErrorName(0), "0");
  EXPECT_EQ(Orvo::DirectXErrorName(0x8876FFFE), "8876fffe");
  EXPECT_EQ(Orvo::DirectXErrorName(1), "1");
}

TEST(DirectXErrorName, TheDisplayLayersCodesAreNamed) {
  EXPECT_EQ(Orvo::DirectXErrorName(static_cast<std::uint32_t>(plat::DDERR_SURFACELOST)), "DDERR_SURFACELOST");
  EXPECT_EQ(Orvo::DirectXErrorName(static_cast<std::uint32_t>(plat::DDERR_NOEXCLUSIVEMODE)), "DDERR_NOEXCLUSIVEMODE");
  EXPECT_EQ(Orvo::DirectXErrorName(static_cast<std::uint32_t>(plat::DDERR_UNSUPPORTEDMODE)), "DDERR_UNSUPPORTEDMODE");
  EXPECT_EQ(Orvo::DirectXErrorName(static_cast<std::uint32_t>(plat::DDERR_OUTOFVIDEOMEMORY)), "DDERR_OUTOFVIDEOMEMORY");
}

}  // namespace
