// The abstract image's own behaviour (copying, outlines, span fills) and the animation
// description of image strips.
#include "framework/graphics/Image.h"

#include <algorithm>
#include <cstdint>
#include <limits>

namespace Orvo {

void AnimInfo::SetPerFrameDelay(int frame, int delay) {
  if (frame < 0) return;
  if (static_cast<int>(mPerFrameDelay.size()) < frame + 1) mPerFrameDelay.resize(frame + 1, 0);
  mPerFrameDelay[frame] = delay;
}

bool AnimInfo::Compute(int numCels, int beginFrameTime, int endFrameTime) {
  mNumCels = std::max(numCels, 1);
  if (mFrameDelay < 1) mFrameDelay = 1;
  if (mAnimType == TYPE_PINGPONG && mNumCels >= 2) {
    mFrameMap.clear();
    for (int i = 0; i < mNumCels; ++i) mFrameMap.push_back(i);
    for (int i = mNumCels - 2; i >= 1; --i) mFrameMap.push_back(i);
  }
  if (!mFrameMap.empty()) mNumCels = static_cast<int>(mFrameMap.size());
  if (beginFrameTime > 0) SetPerFrameDelay(0, beginFrameTime);
  if (endFrameTime > 0) SetPerFrameDelay(mNumCels - 1, endFrameTime);
  // Every delay is at least 1, so the sum only grows: it is summed in 64 bits and checked.
  std::int64_t total = 0;
  if (!mPerFrameDelay.empty()) {
    mPerFrameDelay.resize(mNumCels, 0);
    for (int& d : mPerFrameDelay) {
      if (d < 1) d = mFrameDelay;
      total += d;
    }
  } else {
    total = static_cast<std::int64_t>(mNumCels) * mFrameDelay;
  }
  constexpr std::int64_t kLongest = std::numeric_limits<int>::max();
  mTotalAnimTime = static_cast<int>(std::min(total, kLongest));
  if (!mFrameMap.empty()) mFrameMap.resize(mNumCels);
  return total <= kLongest;
}

Image::Image(const Image& other)
    : mWidth(other.mWidth), mHeight(other.mHeight), mNumRows(other.mNumRows), mNumCols(other.mNumCols) {
  if (other.mAnimInfo != nullptr) mAnimInfo = new AnimInfo(*other.mAnimInfo);
}

Image::~Image() { delete mAnimInfo; }

void Image::CopyAttributes(const Image* other) {
  if (other == nullptr) return;
  // The copy is taken before the old description goes: the other image may be this one.
  AnimInfo* animInfo = other->mAnimInfo != nullptr ? new AnimInfo(*other->mAnimInfo) : nullptr;
  mNumRows = other->mNumRows;
  mNumCols = other->mNumCols;
  delete mAnimInfo;
  mAnimInfo = animInfo;
}

bool Image::PolyFill(const Point*, int, const Rect*, const Color&, int, int, int, bool) { return false; }
void Image::FillRect(const Rect&, const Color&, int) {}

void Image::DrawRect(const Rect& r, const Color& color, int drawMode) {
  FillRect(Rect(r.mX, r.mY, r.mWidth + 1, 1), color, drawMode);
  FillRect(Rect(r.mX, r.mY + r.mHeight, r.mWidth + 1, 1), color, drawMode);
  FillRect(Rect(r.mX, r.mY + 1, 1, r.mHeight - 1), color, drawMode);
  FillRect(Rect(r.mX + r.mWidth, r.mY + 1, 1, r.mHeight - 1), color, drawMode);
}

void Image::ClearRect(const Rect&) {}
void Image::DrawLine(double, double, double, double, const Color&, int) {}
void Image::DrawLineAA(double, double, double, double, const Color&, int) {}

void Image::FillScanLines(Span* spans, int spanCount, const Color& color, int drawMode) {
  for (int i = 0; i < spanCount; ++i) FillRect(Rect(spans[i].mX, spans[i].mY, spans[i].mWidth, 1), color, drawMode);
}

void Image::FillScanLinesWithCoverage(Span*, int, const Color&, int, const std::uint8_t*, int, int, int, int) {}
void Image::Blt(Image*, int, int, const Rect&, const Color&, int) {}
void Image::BltF(Image*, float, float, const Rect&, const Rect&, const Color&, int) {}
void Image::BltRotated(Image*, float, float, const Rect&, const Rect&, const Color&, int, double, float, float) {}
void Image::StretchBlt(Image*, const Rect&, const Rect&, const Rect&, const Color&, int, bool) {}
void Image::BltMatrix(Image*, float, float, const Matrix3&, const Rect&, const Color&, int, const Rect&, bool) {}
void Image::BltTrianglesTex(Image*, const TriVertex[][3], int, const Rect&, const Color&, int, float, float, bool) {}
void Image::BltMirror(Image*, int, int, const Rect&, const Color&, int) {}
void Image::StretchBltMirror(Image*, const Rect&, const Rect&, const Rect&, const Color&, int, bool) {}

}  // namespace Orvo
