// Reading resource manifests into records, loading and releasing them by group, and the
// must-exist look-ups.
#include "framework/resources/ResourceManager.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <sstream>

#include "framework/graphics/DDImage.h"
#include "framework/graphics/Font.h"
#include "framework/graphics/ImageLib.h"
#include "framework/graphics/MemoryImage.h"
#include "framework/resources/XmlReader.h"

namespace Orvo {

namespace {

// Texture hints an image record passes on to its image.
constexpr std::uint32_t kHintMinimizeSubdivisions = 1;
constexpr std::uint32_t kHintA4R4G4B4 = 4;
constexpr std::uint32_t kHintA8R8G8B8 = 8;

bool HasAttribute(const XmlElement& e, const char* name) { return e.mAttributes.count(name) != 0; }

const std::string* Attribute(const XmlElement& e, const char* name) {
  auto it = e.mAttributes.find(name);
  return it == e.mAttributes.end() ? nullptr : &it->second;
}

// A decimal as "%d" reads it; a number beyond an int's range gives the nearest int.
int ParseDecimal(const std::string& text, int fallback) {
  const char* begin = text.c_str();
  char* end = nullptr;
  const long long value = std::strtoll(begin, &end, 10);
  if (end == begin) return fallback;
  return static_cast<int>(std::clamp<long long>(value, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()));
}

std::vector<int> ParseDecimalList(const std::string& text) {
  std::vector<int> values;
  std::stringstream in(text);
  std::string item;
  while (std::getline(in, item, ',')) values.push_back(ParseDecimal(item, 0));
  return values;
}

std::string LowerAscii(std::string s) {
  for (char& c : s) c = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
  return s;
}

std::string WithoutTrailingSeparator(std::string s) {
  while (!s.empty() && (s.back() == '/' || s.back() == '\\')) s.pop_back();
  return s;
}

// The file name of a path without folder and extension.
std::string BaseName(const std::string& path) {
  const std::size_t slash = path.find_last_of("/\\");
  std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  const std::size_t dot = name.rfind('.');
  if (dot != std::string::npos) name.erase(dot);
  return name;
}

}  // namespace

void ResourceManager::ImageRes::ResetOptions() {
  ImageRes fresh;
  mAlphaImage = fresh.mAlphaImage;
  mAlphaGridImage = fresh.mAlphaGridImage;
  mVariant = fresh.mVariant;
  mAutoFindAlpha = fresh.mAutoFindAlpha;
  mPalletize = fresh.mPalletize;
  mA4R4G4B4 = fresh.mA4R4G4B4;
  mA8R8G8B8 = fresh.mA8R8G8B8;
  mDDSurface = fresh.mDDSurface;
  mPurgeBits = fresh.mPurgeBits;
  mMinimizeSubdivisions = fresh.mMinimizeSubdivisions;
  mRows = fresh.mRows;
  mCols = fresh.mCols;
  mAlphaColor = fresh.mAlphaColor;
  mAnimInfo = fresh.mAnimInfo;
  mBeginDelay = fresh.mBeginDelay;
  mEndDelay = fresh.mEndDelay;
}

void ResourceManager::SoundRes::ReleaseResource() {
  if (mSoundId >= 0 && mSoundLoader != nullptr) mSoundLoader->ReleaseSound(mSoundId);
  mSoundId = -1;
}

void ResourceManager::FontRes::ReleaseResource() {
  delete mFont;
  mFont = nullptr;
  delete mImage;
  mImage = nullptr;
}

ResourceManager::ResourceManager(ResourceLoaders* loaders, ResourceSoundLoader* soundLoader)
    : mLoaders(loaders), mSoundLoader(soundLoader) {}

ResourceManager::~ResourceManager() {
  for (ResMap* map : {&mImageMap, &mSoundMap, &mFontMap}) {
    for (auto& [id, res] : *map) {
      res->ReleaseResource();
      delete res;
    }
  }
}

bool ResourceManager::SetError(const std::string& text) {
  if (mHasFailed) return false;
  mHasFailed = true;
  mError = text;
  if (mXMLParser != nullptr) {
    if (mXMLParser->GetCurrentLineNum() >= 1) mError += " on Line " + std::to_string(mXMLParser->GetCurrentLineNum());
    if (!mXMLParser->GetFileName().empty()) mError += " in File '" + mXMLParser->GetFileName() + "'";
  }
  return false;
}

void ResourceManager::ClearError() {
  mHasFailed = false;
  mError.clear();
}

bool ResourceManager::ParseResourcesFile(const std::string& fileName) {
  XmlReader reader;
  if (!reader.OpenFile(fileName)) return SetError("Failed to open manifest: " + fileName);
  return ParseReader(&reader);
}

bool ResourceManager::ParseResourcesText(const std::string& text) {
  XmlReader reader;
  reader.OpenBuffer(text);
  return ParseReader(&reader);
}

bool ResourceManager::ParseReader(XmlReader* reader) {
  ClearError();
  mXMLParser = reader;
  mDefaultPath.clear();
  mDefaultIdPrefix.clear();
  bool inManifest = false;
  bool ok = true;
  XmlElement e;
  while (ok) {
    if (!reader->ReadElement(&e)) {
      if (reader->HasFailed()) ok = SetError(reader->GetErrorText());
      else if (inManifest) ok = SetError("Unexpected end of manifest");
      break;
    }
    if (e.mType == XmlElement::TYPE_INSTRUCTION || e.mType == XmlElement::TYPE_COMMENT) continue;
    if (!inManifest) {
      if (e.mType == XmlElement::TYPE_START && e.mValue == "ResourceManifest") {
        inManifest = true;
      } else {
        ok = SetError("Expecting ResourceManifest tag");
      }
    } else if (e.mType == XmlElement::TYPE_END) {
      inManifest = false;  // the manifest's end: anything after it is read as a new manifest
    } else if (e.mType == XmlElement::TYPE_START && e.mValue == "Resources") {
      const std::string* id = Attribute(e, "id");
      if (id == nullptr || id->empty()) {
        ok = SetError("No id specified.");
      } else {
        mCurResGroup = *id;
        ok = ReadSections();
      }
    } else if (e.mType == XmlElement::TYPE_START) {
      ok = SetError("Invalid Section '" + e.mValue + "'");
    } else {
      ok = SetError("Element Not Expected '" + e.mValue + "'");
    }
  }
  mXMLParser = nullptr;
  return ok && !mHasFailed;
}

bool ResourceManager::ReadSections(XmlReader* reader, const std::string& group) {
  mXMLParser = reader;
  mCurResGroup = group;
  const bool ok = ReadSections();
  mXMLParser = nullptr;
  return ok;
}

bool ResourceManager::ReadSections() {
  if (mXMLParser == nullptr) return false;
  XmlElement e;
  for (;;) {
    if (!mXMLParser->ReadElement(&e)) {
      if (mXMLParser->HasFailed()) SetError(mXMLParser->GetErrorText());
      return false;
    }
    if (e.mType == XmlElement::TYPE_START) {
      bool ok;
      if (e.mValue == "Image") {
        ok = ReadImage(e);
      } else if (e.mValue == "Sound") {
        ok = ReadSound(e);
      } else if (e.mValue == "Font") {
        ok = ReadFont(e);
      } else if (e.mValue == "SetDefaults") {
        ok = ReadDefaults(e);
      } else {
        return SetError("Invalid Section '" + e.mValue + "'");
      }
      if (!ok) return false;
      XmlElement end;
      if (!mXMLParser->ReadElement(&end)) {
        if (mXMLParser->HasFailed()) return SetError(mXMLParser->GetErrorText());
        return SetError("Unexpected element found.");
      }
      if (end.mType != XmlElement::TYPE_END) return SetError("Unexpected element found.");
    } else if (e.mType == XmlElement::TYPE_ELEMENT) {
      return SetError("Element Not Expected '" + e.mValue + "'");
    } else if (e.mType == XmlElement::TYPE_END) {
      return true;
    }
  }
}

bool ResourceManager::ReadResourceAttributes(XmlElement& element, BaseRes* res, ResMap& map) {
  mHadAlreadyDefinedError = false;
  const std::string* path = Attribute(element, "path");
  if (path == nullptr || path->empty()) return SetError("No path specified.");
  res->mXMLAttributes = element.mAttributes;
  res->mFromProgram = false;
  if ((*path)[0] != '!') {
    res->mPath = mDefaultPath + *path;
  } else {
    res->mPath = *path;
    res->mFromProgram = *path == "!program";
  }
  const std::string* id = Attribute(element, "id");
  res->mId = mDefaultIdPrefix + (id != nullptr ? *id : BaseName(res->mPath));
  res->mResGroup = mCurResGroup;
  // The id is checked before the record is filed anywhere, so a refused record never
  // lingers in a group's list after it is deleted.
  if (map.count(res->mId) != 0) {
    mHadAlreadyDefinedError = true;
    return SetError("Resource already defined.");
  }
  map[res->mId] = res;
  mResGroupMap[mCurResGroup].push_back(res);
  return true;
}

template <typename Res>
bool ResourceManager::ReadRecord(XmlElement& element, Res*& res, ResMap& map) {
  res = new Res;
  if (ReadResourceAttributes(element, res, map)) return true;
  if (!(mHadAlreadyDefinedError && mAllowAlreadyDefinedResources)) {
    delete res;
    res = nullptr;
    return false;
  }
  // A redefinition: the record already filed under the id takes the new path and
  // attributes; what it had loaded from its old path is released.
  ClearError();
  Res* existing = static_cast<Res*>(map[res->mId]);
  existing->ReleaseResource();
  existing->mPath = res->mPath;
  existing->mXMLAttributes = res->mXMLAttributes;
  existing->mFromProgram = res->mFromProgram;
  delete res;
  res = existing;
  return true;
}

bool ResourceManager::ReadImage(XmlElement& element) {
  ImageRes* res = nullptr;
  if (!ReadRecord(element, res, mImageMap)) return false;
  res->ResetOptions();
  const XmlElement& e = element;
  if (HasAttribute(e, "nopal")) res->mPalletize = false;
  if (HasAttribute(e, "a4r4g4b4")) res->mA4R4G4B4 = true;
  if (HasAttribute(e, "ddsurface")) res->mDDSurface = true;
  if (HasAttribute(e, "nobits")) {
    res->mPurgeBits = true;
  } else {
    const bool is3D = mLoaders != nullptr && mLoaders->Is3DAccelerated();
    if (is3D && HasAttribute(e, "nobits3d")) res->mPurgeBits = true;
    if (!is3D && HasAttribute(e, "nobits2d")) res->mPurgeBits = true;
  }
  if (HasAttribute(e, "a8r8g8b8")) res->mA8R8G8B8 = true;
  if (HasAttribute(e, "minsubdivide")) res->mMinimizeSubdivisions = true;
  if (HasAttribute(e, "noalpha")) res->mAutoFindAlpha = false;
  if (const std::string* v = Attribute(e, "alphaimage")) res->mAlphaImage = mDefaultPath + *v;
  if (const std::string* v = Attribute(e, "alphacolor")) {
    unsigned int color = res->mAlphaColor;
    std::sscanf(v->c_str(), "%x", &color);
    res->mAlphaColor = color;
  }
  if (const std::string* v = Attribute(e, "variant")) res->mVariant = *v;
  if (const std::string* v = Attribute(e, "alphagrid")) res->mAlphaGridImage = mDefaultPath + *v;
  // A grid of fewer than one row or column has no cells: read as one.
  if (const std::string* v = Attribute(e, "rows")) res->mRows = std::max(1, ParseDecimal(*v, 1));
  if (const std::string* v = Attribute(e, "cols")) res->mCols = std::max(1, ParseDecimal(*v, 1));
  // No picture has a side longer than the image readers allow, so no grid may have more
  // cells along a side: a cell is at least a pixel. The picture itself is checked on loading.
  if (res->mRows > ImageLib::kMaxImageSide || res->mCols > ImageLib::kMaxImageSide) {
    return SetError("Too many rows or columns.");
  }

  if (const std::string* v = Attribute(e, "anim")) {
    static const struct {
      const char* name;
      int type;
    } kAnimTypes[] = {{"none", AnimInfo::TYPE_NONE},
                      {"once", AnimInfo::TYPE_ONCE},
                      {"loop", AnimInfo::TYPE_LOOP},
                      {"pingpong", AnimInfo::TYPE_PINGPONG}};
    const std::string name = LowerAscii(*v);
    int type = -1;
    for (const auto& a : kAnimTypes) {
      if (name == a.name) type = a.type;
    }
    if (type < 0) return SetError("Invalid animation type.");
    res->mAnimInfo.mAnimType = type;
  }
  if (res->mAnimInfo.mAnimType != AnimInfo::TYPE_NONE) {
    if (const std::string* v = Attribute(e, "framedelay")) res->mAnimInfo.mFrameDelay = ParseDecimal(*v, 1);
    int beginDelay = 0;
    int endDelay = 0;
    if (const std::string* v = Attribute(e, "begindelay")) beginDelay = ParseDecimal(*v, 0);
    if (const std::string* v = Attribute(e, "enddelay")) endDelay = ParseDecimal(*v, 0);
    if (const std::string* v = Attribute(e, "perframedelay")) res->mAnimInfo.mPerFrameDelay = ParseDecimalList(*v);
    if (const std::string* v = Attribute(e, "framemap")) res->mAnimInfo.mFrameMap = ParseDecimalList(*v);
    res->mBeginDelay = beginDelay;
    res->mEndDelay = endDelay;
    res->mAnimInfo.mNumCels = std::max(res->mRows, res->mCols);
    // The total time is settled now, on a copy whose tables the bound above keeps small; the
    // image's own tables are built when it is loaded.
    AnimInfo settled = res->mAnimInfo;
    if (!settled.Compute(res->mAnimInfo.mNumCels, beginDelay, endDelay)) return SetError("Animation too long.");
    res->mAnimInfo.mTotalAnimTime = settled.mTotalAnimTime;
  }
  return true;
}

bool ResourceManager::ReadSound(XmlElement& element) {
  SoundRes* res = nullptr;
  if (!ReadRecord(element, res, mSoundMap)) return false;
  res->mSoundLoader = mSoundLoader;
  res->mVolume = -1.0;
  res->mPanning = 0;
  if (const std::string* v = Attribute(element, "volume")) std::sscanf(v->c_str(), "%lf", &res->mVolume);
  if (const std::string* v = Attribute(element, "pan")) res->mPanning = ParseDecimal(*v, 0);
  return true;
}

bool ResourceManager::ReadFont(XmlElement& element) {
  FontRes* res = nullptr;
  if (!ReadRecord(element, res, mFontMap)) return false;
  res->mImagePath.clear();
  res->mTags.clear();
  res->mSysFont = res->mBold = res->mItalic = res->mUnderline = res->mShadow = false;
  res->mSize = 0;
  if (const std::string* v = Attribute(element, "image")) res->mImagePath = *v;
  if (const std::string* v = Attribute(element, "tags")) res->mTags = *v;
  if (const std::string* v = Attribute(element, "size")) res->mSize = ParseDecimal(*v, 0);
  if (res->mPath.compare(0, 5, "!sys:") == 0) {
    res->mSysFont = true;
    if (res->mSize <= 0) return SetError("SysFont needs point size");
    res->mBold = HasAttribute(element, "bold");
    res->mItalic = HasAttribute(element, "italic");
    res->mShadow = HasAttribute(element, "shadow");
    res->mUnderline = HasAttribute(element, "underline");
  }
  return true;
}

bool ResourceManager::ReadDefaults(XmlElement& element) {
  if (const std::string* v = Attribute(element, "path")) {
    // An empty path means no default folder at all (not the root).
    const std::string folder = WithoutTrailingSeparator(*v);
    mDefaultPath = folder.empty() ? std::string() : folder + "/";
  }
  if (const std::string* v = Attribute(element, "idprefix")) mDefaultIdPrefix = WithoutTrailingSeparator(*v);
  return true;
}

void ResourceManager::ReleaseGroup(ResMap& map, const std::string& group) {
  for (auto& [id, res] : map) {
    if (group.empty() || res->mResGroup == group) res->ReleaseResource();
  }
}

void ResourceManager::DeleteResources(const std::string& group) {
  ReleaseGroup(mImageMap, group);
  ReleaseGroup(mSoundMap, group);
  ReleaseGroup(mFontMap, group);
  if (group.empty()) {
    mLoadedGroups.clear();
  } else {
    mLoadedGroups.erase(group);
  }
}

void ResourceManager::StartLoadGroup(const std::string& group) {
  ClearError();
  mCurResGroup = group;
  mCurResGroupList = &mResGroupMap[group];
  mCurResGroupListItr = mCurResGroupList->begin();
}

bool ResourceManager::LoadNextInGroup() {
  if (mHasFailed || mCurResGroupList == nullptr) return false;
  while (mCurResGroupListItr != mCurResGroupList->end()) {
    BaseRes* res = *mCurResGroupListItr++;
    if (res->mFromProgram) continue;
    switch (res->mType) {
      case ResType_Image: {
        auto* image = static_cast<ImageRes*>(res);
        if (image->mImage.GetImage() != nullptr) continue;
        return LoadImageResource(image);
      }
      case ResType_Sound: {
        auto* sound = static_cast<SoundRes*>(res);
        if (sound->mSoundId != -1) continue;
        return LoadSoundResource(sound);
      }
      case ResType_Font: {
        auto* font = static_cast<FontRes*>(res);
        if (font->mFont != nullptr) continue;
        return LoadFontResource(font);
      }
      default: continue;
    }
  }
  return false;
}

bool ResourceManager::LoadGroup(const std::string& group) {
  ClearError();
  StartLoadGroup(group);
  while (LoadNextInGroup()) {
  }
  if (mHasFailed) return false;
  mLoadedGroups.insert(group);
  return true;
}

bool ResourceManager::MergeAlphaImage(ImageRes* res, MemoryImage* image) {
  std::unique_ptr<ImageLib::Image> alpha(mLoaders->ReadImageFile(res->mAlphaImage));
  if (alpha == nullptr) return SetError("Failed to load image: " + res->mAlphaImage);
  if (alpha->mWidth != image->mWidth || alpha->mHeight != image->mHeight) {
    return SetError("AlphaImage size mismatch between " + res->mPath + " and " + res->mAlphaImage);
  }
  std::uint32_t* bits = image->GetBits();
  if (bits == nullptr || alpha->mBits == nullptr) return SetError("Failed to load image: " + res->mAlphaImage);
  const std::size_t count = static_cast<std::size_t>(image->mWidth) * static_cast<std::size_t>(image->mHeight);
  for (std::size_t i = 0; i < count; ++i) bits[i] = (bits[i] & 0x00FFFFFFu) | ((alpha->mBits[i] & 0xFFu) << 24);
  image->BitsChanged();
  return true;
}

bool ResourceManager::MergeAlphaGrid(ImageRes* res, MemoryImage* image) {
  std::unique_ptr<ImageLib::Image> grid(mLoaders->ReadImageFile(res->mAlphaGridImage));
  if (grid == nullptr) return SetError("Failed to load image: " + res->mAlphaGridImage);
  const int cellWidth = image->mWidth / std::max(1, res->mCols);
  const int cellHeight = image->mHeight / std::max(1, res->mRows);
  if (grid->mWidth != cellWidth || grid->mHeight != cellHeight) {
    return SetError("GridAlphaImage size mismatch between " + res->mPath + " and " + res->mAlphaGridImage);
  }
  std::uint32_t* bits = image->GetBits();
  if (bits == nullptr || grid->mBits == nullptr) return SetError("Failed to load image: " + res->mAlphaGridImage);
  for (int row = 0; row < res->mRows; ++row) {
    for (int col = 0; col < res->mCols; ++col) {
      for (int y = 0; y < cellHeight; ++y) {
        std::uint32_t* line = bits + static_cast<std::size_t>(row * cellHeight + y) * image->mWidth + col * cellWidth;
        const std::uint32_t* alphaLine = grid->mBits + static_cast<std::size_t>(y) * cellWidth;
        for (int x = 0; x < cellWidth; ++x) line[x] = (line[x] & 0x00FFFFFFu) | ((alphaLine[x] & 0xFFu) << 24);
      }
    }
  }
  image->BitsChanged();
  return true;
}

bool ResourceManager::LoadImageResource(ImageRes* res) {
  bool loadedNow = false;
  SharedImageRef ref = mLoaders->AcquireImage(res->mPath, res->mVariant, res->mAlphaColor, &loadedNow);
  MemoryImage* image = ref.GetImage();
  if (image == nullptr) return SetError("Failed to load image: " + res->mPath);
  // Every cell is at least a pixel of the picture, so every frame of an animation is too.
  if (res->mRows > image->mHeight || res->mCols > image->mWidth) {
    return SetError("Too many rows or columns for image: " + res->mPath);
  }
  if (loadedNow) {
    if (!res->mAlphaImage.empty() && !MergeAlphaImage(res, image)) return false;
    if (!res->mAlphaGridImage.empty() && !MergeAlphaGrid(res, image)) return false;
  }
  image->CommitBits();
  res->mImage = ref;
  image->mPurgeBits = res->mPurgeBits;
  DDImage* ddImage = ref.GetDDImage();
  if (res->mDDSurface && ddImage != nullptr) {
    ddImage->CommitBits();
    if (!ddImage->mHasAlpha) {
      ddImage->mWantDDSurface = true;
      ddImage->mPurgeBits = true;
    }
  }
  if (res->mPalletize) {
    if (ddImage == nullptr || ddImage->mSurface == nullptr) {
      image->Palletize();
    } else {
      image->mWantPal = true;
    }
  }
  if (res->mMinimizeSubdivisions) image->mD3DFlags |= kHintMinimizeSubdivisions;
  if (res->mA4R4G4B4) image->mD3DFlags |= kHintA4R4G4B4;
  if (res->mA8R8G8B8) image->mD3DFlags |= kHintA8R8G8B8;
  if (res->mAnimInfo.mAnimType != AnimInfo::TYPE_NONE) {
    auto animation = std::make_unique<AnimInfo>(res->mAnimInfo);
    animation->Compute(std::max(res->mRows, res->mCols), res->mBeginDelay, res->mEndDelay);
    delete image->mAnimInfo;
    image->mAnimInfo = animation.release();
  }
  image->mNumRows = res->mRows;
  image->mNumCols = res->mCols;
  if (image->mPurgeBits) image->PurgeBits();
  ResourceLoadedHook(res);
  return true;
}

bool ResourceManager::LoadSoundResource(SoundRes* res) {
  const int id = mSoundLoader != nullptr ? mSoundLoader->GetFreeSoundId() : -1;
  if (id < 0) return SetError("Out of free sound ids");
  if (!mSoundLoader->LoadSound(id, res->mPath)) return SetError("Failed to load sound: " + res->mPath);
  if (res->mVolume >= 0) mSoundLoader->SetBaseVolume(id, res->mVolume);
  if (res->mPanning != 0) mSoundLoader->SetBasePan(id, res->mPanning);
  res->mSoundId = id;
  res->mSoundLoader = mSoundLoader;
  ResourceLoadedHook(res);
  return true;
}

bool ResourceManager::LoadFontResource(FontRes* res) {
  Font* font = nullptr;
  bool imageFont = true;
  if (res->mSysFont) {
    font = mLoaders->CreateSysFont(res->mPath.substr(5), res->mSize, res->mBold, res->mItalic, res->mUnderline,
                                   res->mShadow);
    if (font == nullptr) return SetError("Failed to load font: " + res->mPath);
    imageFont = false;
  } else if (!res->mImagePath.empty()) {
    Image* image = mLoaders->LoadFontImage(res->mImagePath);
    if (image == nullptr) return SetError("Failed to load image: " + res->mImagePath);
    delete res->mImage;
    res->mImage = image;
    font = mLoaders->CreateImageFont(image, res->mPath);
  } else if (res->mPath.compare(0, 5, "!ref:") == 0) {
    const std::string refId = res->mPath.substr(5);
    auto it = mFontMap.find(refId);
    Font* source = it == mFontMap.end() ? nullptr : static_cast<FontRes*>(it->second)->mFont;
    if (source == nullptr) return SetError("Ref font not found: " + refId);
    font = source->Duplicate();
  } else {
    font = mLoaders->CreateImageFont(res->mPath);
  }
  if (imageFont) {
    if (font == nullptr) return SetError("Failed to load font: " + res->mPath);
    std::string::size_type start = 0;
    const char* separators = ", \r\n\t";
    while ((start = res->mTags.find_first_not_of(separators, start)) != std::string::npos) {
      const std::string::size_type end = res->mTags.find_first_of(separators, start);
      mLoaders->AddFontTag(font, res->mTags.substr(start, end == std::string::npos ? std::string::npos : end - start));
      start = end;
    }
  }
  res->mFont = font;
  ResourceLoadedHook(res);
  return true;
}

SharedImageRef ResourceManager::RequireImage(const std::string& id) {
  auto it = mImageMap.find(id);
  if (it != mImageMap.end()) {
    auto* res = static_cast<ImageRes*>(it->second);
    if (res->mImage.GetImage() != nullptr) return res->mImage;
    if (res->mFromProgram && mAllowMissingProgramResources) return SharedImageRef();
  }
  SetError("Image resource not found: " + id);
  throw ResourceManagerException(mError);
}

int ResourceManager::RequireSound(const std::string& id) {
  auto it = mSoundMap.find(id);
  if (it != mSoundMap.end()) {
    auto* res = static_cast<SoundRes*>(it->second);
    if (res->mSoundId != -1) return res->mSoundId;
    if (res->mFromProgram && mAllowMissingProgramResources) return -1;
  }
  SetError("Sound resource not found: " + id);
  throw ResourceManagerException(mError);
}

Font* ResourceManager::RequireFont(const std::string& id) {
  auto it = mFontMap.find(id);
  if (it != mFontMap.end()) {
    auto* res = static_cast<FontRes*>(it->second);
    if (res->mFont != nullptr) return res->mFont;
    if (res->mFromProgram && mAllowMissingProgramResources) return nullptr;
  }
  SetError("Font resource not found: " + id);
  throw ResourceManagerException(mError);
}

}  // namespace Orvo
