// The developer keys of the application (when debug keys are on, and during demo
// playback): profiler, overlays, 3D switch and video statistics, speed and pause,
// screenshots, the image dump and the re-parse of tuned values.
#include <algorithm>
#include <cstring>
#include <ctime>
#include <memory>
#include <vector>

#include "framework/core/DebugTools.h"
#include "framework/core/Demo.h"
#include "framework/core/OrvoAppBase.h"
#include "framework/core/Profiler.h"
#include "framework/core/Tuning.h"
#include "framework/graphics/DDImage.h"
#include "framework/graphics/DDInterface.h"
#include "framework/graphics/Graphics.h"
#include "framework/graphics/ImageLib.h"
#include "framework/graphics/MemoryImage.h"
#include "framework/graphics/SysFont.h"
#include "framework/sound/SoundManager.h"
#include "framework/widgets/WidgetManager.h"
#include "platform/Files.h"
#include "platform/MessageBox.h"
#include "platform/Registry.h"

namespace Orvo {

namespace {

constexpr int kThumbnailSize = 64;
constexpr double kSlowSpeed = 0.25;

std::string LocalTimeText() {
  const std::time_t now = std::time(nullptr);
  const std::tm* local = std::localtime(&now);
  const char* text = local != nullptr ? std::asctime(local) : nullptr;
  return text != nullptr ? text : "";
}

// A copy of width x height ARGB pixels as an image the writers take.
void CopyPixels(ImageLib::Image* out, const std::uint32_t* bits, int width, int height) {
  out->mWidth = width;
  out->mHeight = height;
  out->mBits = new std::uint32_t[static_cast<std::size_t>(width) * height];
  std::memcpy(out->mBits, bits, static_cast<std::size_t>(width) * height * 4);
}

// A nearest-pixel reduction that fits in kThumbnailSize x kThumbnailSize.
void MakeThumbnail(ImageLib::Image* out, const ImageLib::Image& source) {
  const int longest = std::max(source.mWidth, source.mHeight);
  const double scale = longest > kThumbnailSize ? static_cast<double>(kThumbnailSize) / longest : 1.0;
  out->mWidth = std::max(1, static_cast<int>(source.mWidth * scale));
  out->mHeight = std::max(1, static_cast<int>(source.mHeight * scale));
  out->mBits = new std::uint32_t[static_cast<std::size_t>(out->mWidth) * out->mHeight];
  for (int y = 0; y < out->mHeight; ++y) {
    const int sy = std::min(source.mHeight - 1, static_cast<int>(y / scale));
    for (int x = 0; x < out->mWidth; ++x) {
      const int sx = std::min(source.mWidth - 1, static_cast<int>(x / scale));
      out->mBits[y * out->mWidth + x] = source.mBits[sy * source.mWidth + sx];
    }
  }
}

// Reads a text value of the application's "Test3D" key straight from the registry (never
// through the demo stream: the statistics box must not change what a demo replays).
bool ReadTest3DText(const std::string& regKey, const char* name, std::string* out) {
  plat::HKEY key = nullptr;
  const std::string path = "SOFTWARE\\" + regKey + "\\Test3D";
  if (plat::RegOpenKeyExA(plat::HKEY_CURRENT_USER, path.c_str(), 0, plat::KEY_READ, &key) != plat::ERROR_SUCCESS)
    return false;
  DWORD type = 0, size = 0;
  bool found = false;
  if (plat::RegQueryValueExA(key, name, nullptr, &type, nullptr, &size) == plat::ERROR_SUCCESS) {
    std::vector<plat::BYTE> bytes(size + 1, 0);
    if (plat::RegQueryValueExA(key, name, nullptr, &type, bytes.data(), &size) == plat::ERROR_SUCCESS) {
      out->assign(reinterpret_cast<const char*>(bytes.data()), strnlen(reinterpret_cast<const char*>(bytes.data()), size));
      found = true;
    }
  }
  plat::RegCloseKey(key);
  return found;
}

}  // namespace

bool OrvoAppBase::HandleDebugKey(int key) {
  const bool shift = mWidgetManager != nullptr && mWidgetManager->IsKeyDown(plat::VK_SHIFT);
  const bool ctrl = mWidgetManager != nullptr && mWidgetManager->IsKeyDown(plat::VK_CONTROL);
  const bool alt = mWidgetManager != nullptr && mWidgetManager->IsKeyDown(plat::VK_MENU);

  switch (key) {
    case plat::VK_F2:
      if (!IsProfiling()) {
        ProfilerStart(false);
        ResetFrameClock(false);
      } else {
        ProfilerStop();
        ShowMessageBox(ProfilerReportText(), "Perf Results", plat::MB_OK);
        ResetFrameClock(false);
      }
      return false;

    case plat::VK_F3:
      if (shift) {
        mDebugOverlayMode = (mDebugOverlayMode + 1) % 2;
        mShowDebugOverlays = true;
      } else {
        mShowDebugOverlays = !mShowDebugOverlays;
      }
      MarkAllDirty();
      if (mShowDebugOverlays) {
        mFPSTimer.Start();
        mFPSCount = 0;
        mFPSFrames = 0;
        mFPSTime = 0;
        mFPSChangedUpdates = 0;
      }
      return true;

    case plat::VK_F8:
      if (shift) {
        SetScreenMode(mWindowed, !Is3DAccelerated(), true);
        ShowMessageBox(FormatString("3D-Mode: %s", Is3DAccelerated() ? "ON" : "OFF"), "Mode Switch", plat::MB_OK);
        ResetFrameClock(false);
      } else {
        ShowMessageBox(GetVideoStats(), "Video Stats", plat::MB_OK);
      }
      return true;

    case plat::VK_F10:
      if (ctrl) {
        mSpeedFactor = mSpeedFactor == kSlowSpeed ? 1.0 : kSlowSpeed;
      } else if (shift) {
        mStepMode = 2;
      } else {
        mStepMode = 0;
        ResetFrameClock(false);
      }
      return true;

    case plat::VK_F11:
      if (shift) DumpImages();
      else TakeScreenshot();
      return true;

    case 'R':
      if (!alt) return false;
      if (ReparseAll()) {
        PlayMenuCommandSound();
      } else if (mWidgetManager != nullptr) {
        // The message box took the key-up events: no modifier may stay pressed.
        std::memset(mWidgetManager->mKeyDown, 0, sizeof(mWidgetManager->mKeyDown));
      }
      return true;

    default:
      return false;
  }
}

bool OrvoAppBase::TakeScreenshot() {
  if (mDDInterface == nullptr || mDDInterface->GetScreenImage() == nullptr) return false;
  const std::string folder = GetAppDataFolder() + "_screenshots/";
  MakeDirs(folder);
  const std::string fileName = folder + FormatString("%d.png", NextScreenshotNumber(folder));

  ImageLib::Image copy;
  {
    ScopedCriticalSection lock(mDDInterface->mCritSect);
    DDImage* screen = mDDInterface->GetScreenImage();
    const std::uint32_t* bits = screen->GetBits();
    if (bits == nullptr || screen->mWidth <= 0 || screen->mHeight <= 0) return false;
    CopyPixels(&copy, bits, screen->mWidth, screen->mHeight);
  }
  const bool written = ImageLib::WritePNGImage(fileName, &copy);
  ResetFrameClock(false);  // the time spent here is not caught up
  return written;
}

bool OrvoAppBase::DumpImages() {
  const std::string folder = "_dump";
  MakeDirs(folder);

  // The pixels are copied under the display lock and written after it, so the cursor
  // thread never waits for the disk.
  struct Dumped {
    ImageDumpEntry entry;
    std::unique_ptr<ImageLib::Image> picture = std::make_unique<ImageLib::Image>();
  };
  std::vector<Dumped> dumped;
  {
    CriticalSection* lock = mDDInterface != nullptr ? &mDDInterface->mCritSect : nullptr;
    if (lock) lock->Enter();
    const std::vector<MemoryImage*> images(mMemoryImageSet.begin(), mMemoryImageSet.end());
    for (MemoryImage* image : images) {
      if (image->mWidth <= 0 || image->mHeight <= 0) continue;
      // The record is taken before the pixels are asked for, which may build a buffer.
      Dumped d;
      d.entry = DescribeImage(image);
      const std::uint32_t* bits = image->GetBits();
      if (bits == nullptr) continue;
      CopyPixels(d.picture.get(), bits, image->mWidth, image->mHeight);
      dumped.push_back(std::move(d));
    }
    if (lock) lock->Leave();
  }

  bool allWritten = true;
  std::vector<ImageDumpEntry> entries;
  for (std::size_t number = 0; number < dumped.size(); ++number) {
    ImageDumpEntry& entry = dumped[number].entry;
    ImageLib::Image thumb;
    MakeThumbnail(&thumb, *dumped[number].picture);
    entry.mImageFile = FormatString("img%04d.png", static_cast<int>(number));
    entry.mThumbFile = FormatString("thumb%04d.jpg", static_cast<int>(number));
    entry.mThumbWidth = thumb.mWidth;
    entry.mThumbHeight = thumb.mHeight;
    allWritten = ImageLib::WritePNGImage(folder + "/" + entry.mImageFile, dumped[number].picture.get()) && allWritten;
    allWritten = ImageLib::WriteJPEGImage(folder + "/" + entry.mThumbFile, &thumb) && allWritten;
    dumped[number].picture.reset();
    entries.push_back(entry);
  }

  const std::string index = plat::ResolveFileName("_dump\\imagelist.html");
  allWritten = WriteTextFileAtomically(index, BuildImageDumpHtml(entries, LocalTimeText())) && allWritten;
  ResetFrameClock(false);
  return allWritten;
}

std::string OrvoAppBase::GetVideoStats() {
  VideoStats stats;
  stats.mIs3D = Is3DAccelerated();
  std::string failure, warning;
  const bool stored = !mRegKey.empty() && ReadTest3DText(mRegKey, "FailureReason", &failure);
  if (stored) ReadTest3DText(mRegKey, "Warning", &warning);
  stats.mSupport3D = Describe3DSupport(stored, failure, warning);
  stats.mNumSounds = mSoundManager != nullptr ? mSoundManager->GetNumSounds() : 0;

  CriticalSection* lock = mDDInterface != nullptr ? &mDDInterface->mCritSect : nullptr;
  if (lock) lock->Enter();
  stats.mNumImages = static_cast<int>(mMemoryImageSet.size());
  for (MemoryImage* image : mMemoryImageSet) {
    const ImageDumpEntry e = DescribeImage(image);
    if (e.mSurfaceBytes > 0) stats.mVideoUsed += e.mSurfaceBytes;
    if (e.mTextureBytes >= 0) {
      static const int kFormats[4] = {TEXFMT_A8R8G8B8, TEXFMT_A4R4G4B4, TEXFMT_R5G6B5, TEXFMT_PALETTE8};
      for (int i = 0; i < 4; ++i) {
        if (e.mTextureFormat != kFormats[i]) continue;
        ++stats.mTextureCount[i];
        stats.mTextureBytes[i] += e.mTextureBytes;
        stats.mVideoUsed += e.mTextureBytes;
      }
    }
  }
  if (lock) lock->Leave();
  // Every surface lives in ordinary memory here: there is no separate limit to report.
  stats.mVideoTotal = stats.mVideoUsed;
  return BuildVideoStatsText(stats);
}

void OrvoAppBase::DrawDebugOverlays() {
  if (mDDInterface == nullptr || mDDInterface->GetScreenImage() == nullptr) return;
  if (mDebugFont == nullptr) mDebugFont = new SysFont(this, "Tahoma", 8);
  const int overlayHeight = mDebugFont->GetHeight() + 4;

  ++mFPSCount;
  const double elapsed = mFPSTimer.GetDuration();
  if (elapsed >= 1000.0 || mFPSRestart) {
    if (elapsed > 0.0) mFPSDisplay = static_cast<int>(mFPSCount * 1000.0 / elapsed + 0.5);
    mFPSTimer.Start();
    mFPSCount = 0;
    mFPSRestart = false;
  }

  // Each text goes into a small black image of its own, which is then put on the screen.
  auto drawOverlay = [&](MemoryImage** image, int width, const std::string& text, int x, int y) {
    if (*image == nullptr) {
      *image = new MemoryImage(this);
      (*image)->Create(width, overlayHeight);
    }
    Graphics g(*image);
    g.SetColor(Color(0, 0, 0));
    g.FillRect(0, 0, width, overlayHeight);
    g.SetFont(mDebugFont);
    g.SetColor(Color(255, 255, 255));
    g.DrawString(text, 2, mDebugFont->GetAscent());
    Graphics screen(mDDInterface->GetScreenImage());
    screen.DrawImage(*image, x, y);
  };

  const int screenHeight = mDDInterface->GetScreenImage()->mHeight;
  drawOverlay(&mFPSImage, 50, FormatString("FPS: %d", mFPSDisplay), 0, 0);
  if (mDebugOverlayMode == 1)
    drawOverlay(&mMouseOverlayImage, 50, FormatString("%d,%d", mLastMouseX.load(), mLastMouseY.load()), 0,
                screenHeight - overlayHeight);
  if (mPlayingDemo && mDemo != nullptr)
    drawOverlay(&mDemoTimeImage, 50, FormatDemoTimeLeft(mDemo->GetDemoLength(), mUpdateCount, mUpdatePeriod), 0,
                overlayHeight);
}

void OrvoAppBase::ReleaseDebugTools() {
  for (MemoryImage** image : {&mFPSImage, &mMouseOverlayImage, &mDemoTimeImage}) {
    delete *image;
    *image = nullptr;
  }
  delete mDebugFont;
  mDebugFont = nullptr;
}

}  // namespace Orvo
