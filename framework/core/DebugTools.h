// Pieces of the developer tools that do not need a running application: the screenshot
// numbering, the remaining-demo-time text, the image dump's HTML index and the video
// statistics text. The debug keys themselves are OrvoAppBase::HandleDebugKey.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace Orvo {

class MemoryImage;

// The number for the next screenshot in `folder` (with its trailing separator): one more
// than the highest "<number>.png" there, 1 when there is none.
int NextScreenshotNumber(const std::string& folder);

// "hh:mm:ss" of demo time left: (length - updates done) x update period; never below zero.
std::string FormatDemoTimeLeft(int demoLength, int updateCount, int updatePeriod);

// Texture format codes of the Direct3D side.
enum TextureFormatCode { TEXFMT_A8R8G8B8 = 1, TEXFMT_A4R4G4B4 = 2, TEXFMT_R5G6B5 = 4, TEXFMT_PALETTE8 = 8 };
const char* TextureFormatName(int code);  // "" for an unknown code

// Set by the Direct3D side to describe an image's texture: its format code and bytes; false
// when the image has none. Until it is set no image reports a texture.
using TextureInfoProvider = bool (*)(MemoryImage* image, int* format, std::int64_t* bytes);
extern TextureInfoProvider gTextureInfoProvider;

// One image of the dump. Byte counts of -1 mean the image has no such buffer.
struct ImageDumpEntry {
  std::string mImageFile;
  std::string mThumbFile;
  int mThumbWidth = 0;
  int mThumbHeight = 0;
  int mWidth = 0;
  int mHeight = 0;
  std::int64_t mBitsBytes = -1;
  std::int64_t mPaletteBytes = -1;
  std::int64_t mSurfaceBytes = -1;
  std::int64_t mTextureBytes = -1;
  int mTextureFormat = 0;
  bool mVolatile = false;
  bool mForced = false;
  bool mHasAlpha = false;
  bool mHasTrans = false;
  std::int64_t mNativeAlphaBytes = -1;
  std::int64_t mRLAlphaBytes = -1;
  std::int64_t mRLAdditiveBytes = -1;

  // Every buffer the image holds, added up.
  std::int64_t Memory() const;
};

// Describes an image's buffers (the file names and thumbnail size are left empty).
ImageDumpEntry DescribeImage(MemoryImage* image);

// The dump's index page; `when` is the asctime-form date.
std::string BuildImageDumpHtml(const std::vector<ImageDumpEntry>& images, const std::string& when);

struct VideoStats {
  bool mIs3D = false;
  std::string mSupport3D;  // "Recommended", "Supported" or "Unsupported"
  int mNumImages = 0;
  int mNumSounds = 0;
  std::int64_t mVideoUsed = 0;
  std::int64_t mVideoTotal = 0;
  int mTextureCount[4] = {};         // per format, in the order A8R8G8B8, A4R4G4B4, R5G6B5, Palette8
  std::int64_t mTextureBytes[4] = {};
};

// The "Video Stats" box text.
std::string BuildVideoStatsText(const VideoStats& stats);

// "Unsupported" when the 3D test stored a failure reason (or no outcome at all), "Supported"
// when it only warned, else "Recommended".
std::string Describe3DSupport(bool outcomeStored, const std::string& failureReason, const std::string& warning);

// Writes `text` to `fileName` through a temporary file renamed into place.
bool WriteTextFileAtomically(const std::string& fileName, const std::string& text);

}  // namespace Orvo
