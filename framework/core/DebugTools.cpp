// Screenshot numbering, demo time text, image dump index and video statistics text.
#include "framework/core/DebugTools.h"

#include <cstdio>

#include "framework/core/Common.h"
#include "framework/graphics/DDImage.h"
#include "framework/graphics/DDInterface.h"
#include "framework/graphics/MemoryImage.h"
#include "platform/Files.h"

namespace Orvo {

TextureInfoProvider gTextureInfoProvider = nullptr;

int NextScreenshotNumber(const std::string& folder) {
  int highest = 0;
  plat::WIN32_FIND_DATA data;
  plat::HANDLE search = plat::FindFirstFile((folder + "*.png").c_str(), &data);
  if (search != plat::INVALID_HANDLE_VALUE) {
    do {
      int number = 0;
      if (std::sscanf(data.cFileName, "%d.png", &number) == 1 && number > highest) highest = number;
    } while (plat::FindNextFile(search, &data));
    plat::FindClose(search);
  }
  return highest + 1;
}

std::string FormatDemoTimeLeft(int demoLength, int updateCount, int updatePeriod) {
  // Playback runs on past the last record, so the updates done can exceed the length.
  const long long updatesLeft = std::max(0LL, static_cast<long long>(demoLength) - updateCount);
  const long long seconds = updatesLeft * std::max(0, updatePeriod) / 1000;
  return FormatString("%02d:%02d:%02d", static_cast<int>(seconds / 3600), static_cast<int>(seconds / 60 % 60),
                      static_cast<int>(seconds % 60));
}

const char* TextureFormatName(int code) {
  switch (code) {
    case TEXFMT_A8R8G8B8: return "A8R8G8B8";
    case TEXFMT_A4R4G4B4: return "A4R4G4B4";
    case TEXFMT_R5G6B5: return "R5G6B5";
    case TEXFMT_PALETTE8: return "Palette8";
    default: return "";
  }
}

std::int64_t ImageDumpEntry::Memory() const {
  std::int64_t total = 0;
  for (std::int64_t bytes : {mBitsBytes, mPaletteBytes, mSurfaceBytes, mTextureBytes, mNativeAlphaBytes,
                             mRLAlphaBytes, mRLAdditiveBytes})
    if (bytes > 0) total += bytes;
  return total;
}

ImageDumpEntry DescribeImage(MemoryImage* image) {
  ImageDumpEntry e;
  e.mWidth = image->mWidth;
  e.mHeight = image->mHeight;
  const std::int64_t pixels = static_cast<std::int64_t>(std::max(0, image->mWidth)) * std::max(0, image->mHeight);
  if (image->mBits != nullptr) e.mBitsBytes = pixels * 4;
  if (image->mColorTable != nullptr) e.mPaletteBytes = 256 * 4 + pixels;
  if (auto* dd = dynamic_cast<DDImage*>(image); dd != nullptr && dd->mSurface != nullptr) {
    const int bits = dd->mDDInterface != nullptr && dd->mDDInterface->mRGBBits > 0 ? dd->mDDInterface->mRGBBits : 32;
    e.mSurfaceBytes = pixels * ((bits + 7) / 8);
  }
  int format = 0;
  std::int64_t textureBytes = 0;
  if (gTextureInfoProvider != nullptr && gTextureInfoProvider(image, &format, &textureBytes)) {
    e.mTextureFormat = format;
    e.mTextureBytes = textureBytes;
  }
  e.mVolatile = image->mIsVolatile;
  e.mForced = image->mForcedMode;
  e.mHasAlpha = image->mHasAlpha;
  e.mHasTrans = image->mHasTrans;
  if (image->mNativeAlphaData != nullptr) e.mNativeAlphaBytes = pixels * 4;
  if (image->mRLAlphaData != nullptr) e.mRLAlphaBytes = pixels;
  if (image->mRLAdditiveData != nullptr) e.mRLAdditiveBytes = pixels;
  return e;
}

namespace {

std::string SizedCell(const char* caption, std::int64_t bytes) {
  return bytes < 0 ? "<TD>&nbsp;</TD>" : "<TD>" + std::string(caption) + GroupDigits(bytes) + "</TD>";
}

std::string FlagCell(const char* caption, bool on) {
  return on ? "<TD>" + std::string(caption) + "</TD>" : "<TD>&nbsp;</TD>";
}

}  // namespace

std::string BuildImageDumpHtml(const std::vector<ImageDumpEntry>& images, const std::string& when) {
  std::int64_t total = 0;
  for (const ImageDumpEntry& e : images) total += e.Memory();
  std::string html = "<HTML><BODY BGCOLOR=EEEEFF><CENTER><FONT SIZE=+2><B>" + when + "</B></FONT><BR>";
  html += "Total Image Allocation: " + GroupDigits(total) + " bytes<BR>";
  html += "<TABLE BORDER=1 CELLSPACING=0 CELLPADDING=4>";

  ImageDumpEntry sums;  // column totals (flags are not added up)
  sums.mBitsBytes = sums.mPaletteBytes = sums.mSurfaceBytes = sums.mTextureBytes = 0;
  sums.mNativeAlphaBytes = sums.mRLAlphaBytes = sums.mRLAdditiveBytes = 0;
  for (const ImageDumpEntry& e : images) {
    html += "<TR>";
    html += FormatString("<TD><A HREF=%s><IMG SRC=%s WIDTH=%d HEIGHT=%d></A></TD>", e.mImageFile.c_str(),
                         e.mThumbFile.c_str(), e.mThumbWidth, e.mThumbHeight);
    html += "<TD ALIGN=RIGHT>" + FormatString("%d x %d<BR>%s bytes", e.mWidth, e.mHeight, GroupDigits(e.Memory()).c_str()) +
            "</TD>";
    html += SizedCell("mBits<BR>", e.mBitsBytes);
    html += SizedCell("Palletized<BR>", e.mPaletteBytes);
    html += SizedCell("DDSurface<BR>", e.mSurfaceBytes);
    html += e.mTextureBytes < 0 ? "<TD>&nbsp;</TD>"
                                : "<TD>Texture<BR>" + std::string(TextureFormatName(e.mTextureFormat)) + "<BR>" +
                                      GroupDigits(e.mTextureBytes) + "</TD>";
    html += FlagCell("Volatile", e.mVolatile);
    html += FlagCell("Forced", e.mForced);
    html += FlagCell("HasAlpha", e.mHasAlpha);
    html += FlagCell("HasTrans", e.mHasTrans);
    html += SizedCell("NativeAlpha<BR>", e.mNativeAlphaBytes);
    html += SizedCell("RLAlpha<BR>", e.mRLAlphaBytes);
    html += SizedCell("RLAdditive<BR>", e.mRLAdditiveBytes);
    html += "</TR>";
    for (auto [sum, part] : {std::pair{&sums.mBitsBytes, e.mBitsBytes}, {&sums.mPaletteBytes, e.mPaletteBytes},
                             {&sums.mSurfaceBytes, e.mSurfaceBytes}, {&sums.mTextureBytes, e.mTextureBytes},
                             {&sums.mNativeAlphaBytes, e.mNativeAlphaBytes}, {&sums.mRLAlphaBytes, e.mRLAlphaBytes},
                             {&sums.mRLAdditiveBytes, e.mRLAdditiveBytes}})
      if (part > 0) *sum += part;
  }

  html += "<TR><TD>Totals</TD>";
  html += "<TD ALIGN=RIGHT>" + GroupDigits(total) + " bytes</TD>";
  html += SizedCell("mBits<BR>", sums.mBitsBytes);
  html += SizedCell("Palletized<BR>", sums.mPaletteBytes);
  html += SizedCell("DDSurface<BR>", sums.mSurfaceBytes);
  html += SizedCell("Texture<BR>", sums.mTextureBytes);
  for (int i = 0; i < 4; ++i) html += "<TD>&nbsp;</TD>";
  html += SizedCell("NativeAlpha<BR>", sums.mNativeAlphaBytes);
  html += SizedCell("RLAlpha<BR>", sums.mRLAlphaBytes);
  html += SizedCell("RLAdditive<BR>", sums.mRLAdditiveBytes);
  html += "</TR>";
  html += "</TABLE></CENTER></BODY></HTML>";
  return html;
}

std::string BuildVideoStatsText(const VideoStats& s) {
  std::string text = FormatString("3D-Mode is %s (3D is %s on this system)\r\n\r\n", s.mIs3D ? "On" : "Off",
                                  s.mSupport3D.c_str());
  text += FormatString("Num Images: %d\r\n", s.mNumImages);
  text += FormatString("Num Sounds: %d\r\n", s.mNumSounds);
  text += FormatString("Video Memory: %s/%s KB\r\n", GroupDigits(s.mVideoUsed / 1024).c_str(),
                       GroupDigits(s.mVideoTotal / 1024).c_str());
  std::int64_t textureTotal = 0;
  for (std::int64_t bytes : s.mTextureBytes) textureTotal += bytes;
  text += FormatString("Texture Memory: %s KB\r\n", GroupDigits(textureTotal / 1024).c_str());
  static const char* const kNames[4] = {"A8R8G8B8", "A4R4G4B4", "R5G6B5", "Palette8"};
  for (int i = 0; i < 4; ++i)
    text += FormatString("%s: %d - %s KB\r\n", kNames[i], s.mTextureCount[i], GroupDigits(s.mTextureBytes[i] / 1024).c_str());
  return text;
}

std::string Describe3DSupport(bool outcomeStored, const std::string& failureReason, const std::string& warning) {
  if (!outcomeStored || !failureReason.empty()) return "Unsupported";
  return warning.empty() ? "Recommended" : "Supported";
}

bool WriteTextFileAtomically(const std::string& fileName, const std::string& text) {
  return WriteFileAtomically(fileName, text.data(), text.size());
}

}  // namespace Orvo
