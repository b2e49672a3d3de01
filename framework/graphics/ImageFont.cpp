// Bitmap fonts: layer selection and scaling, measuring with kerning, and drawing through a
// process-wide pool of glyph commands sorted into 256 order buckets.
#include "framework/graphics/ImageFont.h"

#include <algorithm>
#include <climits>
#include <cmath>

#include "framework/core/Common.h"
#include "framework/core/OrvoAppBase.h"
#include "framework/graphics/DDImage.h"
#include "framework/graphics/Graphics.h"
#include "framework/graphics/MemoryImage.h"

namespace Orvo {

namespace {

// Size ratio of a layer at the font's size: values scale as trunc(v * mult / div).
struct LayerRatio {
  double mult = 1.0;
  double div = 1.0;
  bool IsOne() const { return mult / div == 1.0; }
  // Truncated toward zero, and held to the int range so that hostile sizes stay defined.
  int Scale(double v) const {
    const double scaled = v * mult / div;
    if (!(scaled == scaled)) return 0;
    return static_cast<int>(std::clamp(scaled, -2147483647.0, 2147483647.0));
  }
};

LayerRatio RatioFor(const FontLayer* layer, int pointSize, double scale) {
  LayerRatio r;
  if (layer->mPointSize == 0) {
    r.mult = scale;
  } else {
    r.mult = pointSize * scale;
    r.div = layer->mPointSize;
  }
  return r;
}

int ClampToInt(long long v) { return static_cast<int>(std::clamp<long long>(v, INT_MIN, INT_MAX)); }

// Largest scaled glyph sheet: sides and pixel count.
constexpr int kMaxScaledSide = 1 << 15;
constexpr long long kMaxScaledPixels = 1LL << 24;

struct DrawCommand {
  Image* image;
  int x;
  int y;
  Rect src;
  int drawMode;
  Color color;
  DrawCommand* next;
};

// The glyph command pool and its order buckets, shared by every drawing call under the lock.
struct CommandPool {
  CriticalSection lock;
  DrawCommand commands[ImageFont::MAX_DRAW_COMMANDS];
  DrawCommand* heads[256];
  DrawCommand* tails[256];
};

CommandPool& Pool() {
  static CommandPool* pool = new CommandPool();
  return *pool;
}

Image* CopyOwnedImage(Image* source) {
  if (source == nullptr) return nullptr;
  auto* memory = dynamic_cast<MemoryImage*>(source);
  if (memory != nullptr && memory->mApp != nullptr) return memory->mApp->CopyImage(source);
  if (memory != nullptr) return new MemoryImage(*memory);
  return nullptr;
}

}  // namespace

ActiveFontLayer::ActiveFontLayer(const ActiveFontLayer& other)
    : mBaseFontLayer(other.mBaseFontLayer), mOwnsImage(other.mOwnsImage) {
  std::copy(std::begin(other.mScaledCharImageRects), std::end(other.mScaledCharImageRects), mScaledCharImageRects);
  mScaledImage = other.mOwnsImage ? CopyOwnedImage(other.mScaledImage) : other.mScaledImage;
}

ActiveFontLayer::~ActiveFontLayer() {
  if (mOwnsImage) delete mScaledImage;
}

ImageFont::ImageFont(OrvoAppBase* app, const std::string& fontDescFileName) : mFontData(new FontData()) {
  mFontData->AddRef();
  mLoaded = mFontData->Load(app, fontDescFileName);
  mPointSize = mFontData->mDefaultPointSize;
  GenerateActiveFontLayers();
  mActiveListValid = true;
}

ImageFont::ImageFont(Image* fontImage, const std::string& layoutFileName) : mFontData(new FontData()) {
  mFontData->AddRef();
  mLoaded = mFontData->LoadImageStrip(fontImage, layoutFileName);
  mPointSize = mFontData->mDefaultPointSize;
  GenerateActiveFontLayers();
  mActiveListValid = true;
}

ImageFont::ImageFont(const ImageFont& other)
    : Font(other),
      mLoaded(other.mLoaded),
      mFontData(other.mFontData),
      mPointSize(other.mPointSize),
      mTagVector(other.mTagVector),
      mActiveListValid(other.mActiveListValid),
      mScale(other.mScale),
      mForceScaledImagesWhite(other.mForceScaledImagesWhite) {
  mFontData->AddRef();
  if (mActiveListValid)
    for (const ActiveFontLayer& layer : other.mActiveLayerList) mActiveLayerList.emplace_back(layer);
}

ImageFont::~ImageFont() {
  mActiveLayerList.clear();
  mFontData->Release();
}

Font* ImageFont::Duplicate() { return new ImageFont(*this); }

void ImageFont::SetPointSize(int pointSize) {
  mPointSize = pointSize;
  mActiveListValid = false;
}

void ImageFont::SetScale(double scale) {
  mScale = scale;
  mActiveListValid = false;
}

int ImageFont::GetDefaultPointSize() { return mFontData->mDefaultPointSize; }

bool ImageFont::HasTag(const std::string& tag) {
  return std::find(mTagVector.begin(), mTagVector.end(), tag) != mTagVector.end();
}

bool ImageFont::AddTag(const std::string& tag) {
  // Tags are stored upper-cased, so the presence test looks for the upper-cased tag.
  const std::string upper = ToUpperCopy(tag);
  if (HasTag(upper)) return false;
  mTagVector.push_back(upper);
  mActiveListValid = false;
  return true;
}

bool ImageFont::RemoveTag(const std::string& tag) {
  auto it = std::find(mTagVector.begin(), mTagVector.end(), ToUpperCopy(tag));
  if (it == mTagVector.end()) return false;
  mTagVector.erase(it);
  mActiveListValid = false;
  return true;
}

std::string ImageFont::GetDefine(const std::string& name) {
  DataElement* element = mFontData->FindDefine(name);
  if (element == nullptr) return "";
  std::string text;
  FontData::DataElementToString(element, &text);
  return text;
}

void ImageFont::Prepare() {
  if (mActiveListValid) return;
  GenerateActiveFontLayers();
  mActiveListValid = true;
}

void ImageFont::BuildScaledSheet(const FontLayer& layer, ActiveFontLayer& active, int width, int height) {
  auto* image = new MemoryImage(mFontData->mApp);
  active.mScaledImage = image;
  active.mOwnsImage = true;
  image->Create(std::max(1, width), std::max(1, height));
  image->Clear();
  Image* source = layer.GetImage();
  if (source != nullptr) {
    Graphics g(image);
    for (int i = 0; i < 256; ++i) {
      const Rect& src = layer.mCharData[i].mImageRect;
      const Rect& dest = active.mScaledCharImageRects[i];
      if (src.mWidth > 0 && src.mHeight > 0 && dest.mWidth > 0 && dest.mHeight > 0)
        g.DrawImageStretched(source, dest, src);
    }
  }
  if (mForceScaledImagesWhite) {
    std::uint32_t* bits = image->GetBits();
    const std::size_t count = static_cast<std::size_t>(image->GetWidth()) * image->GetHeight();
    for (std::size_t i = 0; bits != nullptr && i < count; ++i) bits[i] |= 0x00FFFFFFu;
    image->BitsChanged();
  }
  image->Palletize();
}

void ImageFont::GenerateActiveFontLayers() {
  if (!mFontData->mInitialized) return;
  mActiveLayerList.clear();
  mAscent = 0;
  mAscentPadding = 0;
  mHeight = 0;
  mLineSpacingOffset = 0;
  bool first = true;

  for (FontLayer& layer : mFontData->mFontLayerList) {
    if (mPointSize < layer.mMinPointSize || (mPointSize > layer.mMaxPointSize && layer.mMaxPointSize != -1)) continue;
    const auto hasTag = [this](const std::string& tag) {
      return std::find(mTagVector.begin(), mTagVector.end(), tag) != mTagVector.end();
    };
    if (!std::all_of(layer.mRequiredTags.begin(), layer.mRequiredTags.end(), hasTag)) continue;
    if (std::any_of(layer.mExcludedTags.begin(), layer.mExcludedTags.end(), hasTag)) continue;

    mActiveLayerList.emplace_back();
    ActiveFontLayer& active = mActiveLayerList.back();
    active.mBaseFontLayer = &layer;
    LayerRatio ratio;
    if (mScale == 1.0 && (layer.mPointSize == 0 || layer.mPointSize == mPointSize)) {
      active.mScaledImage = layer.GetImage();
      for (int i = 0; i < 256; ++i) active.mScaledCharImageRects[i] = layer.mCharData[i].mImageRect;
    } else {
      ratio = RatioFor(&layer, mPointSize, mScale);
      long long x = 0;
      int maxHeight = 0;
      for (int i = 0; i < 256; ++i) {
        const Rect& src = layer.mCharData[i].mImageRect;
        const int w = std::clamp(ratio.Scale(src.mWidth), 0, kMaxScaledSide);
        const int h = std::clamp(ratio.Scale(src.mHeight), 0, kMaxScaledSide);
        active.mScaledCharImageRects[i] = Rect(static_cast<int>(std::min<long long>(x, kMaxScaledSide)), 0, w, h);
        x += w;
        maxHeight = std::max(maxHeight, h);
      }
      // A size no sheet could hold (a hostile point size or scale) keeps its metrics but
      // draws nothing, instead of asking for gigabytes.
      if (x > kMaxScaledSide || x * maxHeight > kMaxScaledPixels) {
        active.mScaledImage = nullptr;
      } else {
        BuildScaledSheet(layer, active, static_cast<int>(x), maxHeight);
      }
    }

    const int ascent = ratio.Scale(layer.mAscent);
    const int height = ratio.Scale(layer.mHeight != 0 ? layer.mHeight : layer.mDefaultHeight);
    const int padding = ratio.Scale(layer.mAscentPadding);
    const int lineSpacing = ratio.Scale(layer.mLineSpacingOffset);
    mAscent = std::max(mAscent, ascent);
    mHeight = std::max(mHeight, height);
    mAscentPadding = first ? padding : std::min(mAscentPadding, padding);
    mLineSpacingOffset = first ? lineSpacing : std::max(mLineSpacingOffset, lineSpacing);
    first = false;
  }
}

int ImageFont::CharWidth(char c) { return CharWidthKern(c, 0); }

int ImageFont::CharWidthKern(char c, char prevChar) {
  Prepare();
  const unsigned char m = mFontData->mCharMap[static_cast<unsigned char>(c)];
  const unsigned char q = prevChar != 0 ? mFontData->mCharMap[static_cast<unsigned char>(prevChar)] : 0;
  int best = 0;
  bool any = false;
  for (const ActiveFontLayer& active : mActiveLayerList) {
    const FontLayer* layer = active.mBaseFontLayer;
    const LayerRatio ratio = RatioFor(layer, mPointSize, mScale);
    const long long w = ratio.Scale(layer->mCharData[m].mWidth);
    const long long k = q != 0 ? ratio.Scale(layer->mCharData[q].mKerningOffsets[m] + layer->mSpacing) : 0;
    best = any ? std::max(best, ClampToInt(w + k)) : ClampToInt(w + k);
    any = true;
  }
  return best;
}

int ImageFont::StringWidth(const std::string& text) {
  long long width = 0;
  char previous = 0;
  for (char c : text) {
    width += CharWidthKern(c, previous);
    previous = c;
  }
  return ClampToInt(width);
}

void ImageFont::DrawString(Graphics* g, int x, int y, const std::string& text, const Color& color,
                           const Rect& clipRect) {
  DrawStringEx(g, x, y, text, color, &clipRect, nullptr, nullptr);
}

void ImageFont::DrawStringEx(Graphics* g, int x, int y, const std::string& text, const Color& color,
                             const Rect* clipRect, std::list<Rect>* drawnRects, int* width) {
  CommandPool& pool = Pool();
  ScopedCriticalSection guard(pool.lock);
  std::fill(std::begin(pool.heads), std::end(pool.heads), nullptr);
  std::fill(std::begin(pool.tails), std::end(pool.tails), nullptr);
  if (drawnRects != nullptr) drawnRects->clear();
  if (!mFontData->mInitialized) {
    if (width != nullptr) *width = 0;
    return;
  }
  Prepare();
  const bool colorizeWas = g->GetColorizeImages();
  g->SetColorizeImages(true);

  int used = 0;
  long long pen = x;
  bool poolFull = false;
  for (std::size_t i = 0; i < text.size() && !poolFull; ++i) {
    const unsigned char m = mFontData->mCharMap[static_cast<unsigned char>(text[i])];
    const unsigned char n = i + 1 < text.size() ? mFontData->mCharMap[static_cast<unsigned char>(text[i + 1])] : 0;
    long long nextPen = pen;
    for (ActiveFontLayer& active : mActiveLayerList) {
      if (used >= MAX_DRAW_COMMANDS) {
        poolFull = true;
        break;
      }
      const FontLayer* layer = active.mBaseFontLayer;
      const CharData& d = layer->mCharData[m];
      const LayerRatio ratio = RatioFor(layer, mPointSize, mScale);
      long long gx, gy, advance, kern;
      if (ratio.IsOne()) {
        gx = static_cast<long long>(d.mOffset.mX) + layer->mOffset.mX + pen;
        gy = static_cast<long long>(d.mOffset.mY) - layer->mAscent + layer->mOffset.mY + y;
        advance = d.mWidth;
        kern = n != 0 ? static_cast<long long>(d.mKerningOffsets[n]) + layer->mSpacing : 0;
      } else {
        gx = ratio.Scale(static_cast<double>(d.mOffset.mX) + layer->mOffset.mX) + pen;
        gy = y - static_cast<long long>(
                     ratio.Scale(static_cast<double>(layer->mAscent) - d.mOffset.mY - layer->mOffset.mY));
        advance = ratio.Scale(d.mWidth);
        kern = n != 0 ? ratio.Scale(static_cast<double>(d.mKerningOffsets[n]) + layer->mSpacing) : 0;
      }
      const Color& mult = layer->mColorMult;
      const Color& add = layer->mColorAdd;
      const Color drawColor(std::min(255, mult.mRed * color.mRed / 255 + add.mRed),
                            std::min(255, mult.mGreen * color.mGreen / 255 + add.mGreen),
                            std::min(255, mult.mBlue * color.mBlue / 255 + add.mBlue),
                            std::min(255, mult.mAlpha * color.mAlpha / 255 + add.mAlpha));
      const int bucket = std::clamp(d.mOrder + layer->mBaseOrder + 128, 0, 255);

      DrawCommand& cmd = pool.commands[used++];
      cmd.image = active.mScaledImage;
      cmd.x = ClampToInt(gx);
      cmd.y = ClampToInt(gy);
      cmd.src = active.mScaledCharImageRects[m];
      cmd.drawMode = layer->mDrawMode;
      cmd.color = drawColor;
      cmd.next = nullptr;
      if (pool.tails[bucket] != nullptr) {
        pool.tails[bucket]->next = &cmd;
      } else {
        pool.heads[bucket] = &cmd;
      }
      pool.tails[bucket] = &cmd;
      if (drawnRects != nullptr) drawnRects->push_back(Rect(cmd.x, cmd.y, cmd.src.mWidth, cmd.src.mHeight));
      nextPen = std::max(nextPen, pen + advance + kern);
    }
    pen = nextPen;
  }
  if (width != nullptr) *width = ClampToInt(pen - x);

  const Color colorWas = g->GetColor();
  for (int bucket = 0; bucket < 256; ++bucket) {
    for (DrawCommand* cmd = pool.heads[bucket]; cmd != nullptr; cmd = cmd->next) {
      const int modeWas = g->GetDrawMode();
      if (cmd->drawMode != -1) g->SetDrawMode(cmd->drawMode);
      g->SetColor(cmd->color);
      if (cmd->image != nullptr && cmd->src.mWidth > 0 && cmd->src.mHeight > 0)
        g->DrawImage(cmd->image, cmd->x, cmd->y, cmd->src);
      g->SetDrawMode(modeWas);
    }
  }
  g->SetColor(colorWas);
  g->SetColorizeImages(colorizeWas);
}

}  // namespace Orvo
