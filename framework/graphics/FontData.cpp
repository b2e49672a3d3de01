// Font data: the font descriptor commands that fill the layers of a bitmap font, the error
// report, and the one-layer font built from an image strip and a layout file.
#include "framework/graphics/FontData.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>

#include "framework/core/Common.h"
#include "framework/core/OrvoAppBase.h"
#include "framework/graphics/ImageLib.h"
#include "framework/graphics/MemoryImage.h"

namespace Orvo {

namespace {

const SingleDataElement* AsSingle(const DataElement* e) { return static_cast<const SingleDataElement*>(e); }
const ListDataElement* AsList(const DataElement* e) { return static_cast<const ListDataElement*>(e); }

int ClampChannel(double fraction) {
  const double value = 255.0 * fraction;
  return value <= 0 ? 0 : value >= 255 ? 255 : static_cast<int>(value);
}

}  // namespace

Image* FontLayer::GetImage() const { return mImage.GetImage(); }

FontData::FontData() {
  for (int i = 0; i < 256; ++i) mCharMap[i] = static_cast<unsigned char>(i);
}

FontData::~FontData() {
  mFontLayerMap.clear();
  mFontLayerList.clear();
}

void FontData::Release() {
  if (--mRefCount <= 0) delete this;
}

bool FontData::Error(const std::string& message) {
  mError = message;
  mErrors.push_back(message);
  if (mApp == nullptr) return false;
  std::string text = mFontErrorHeader + message;
  if (!mCurrentLine.empty()) text += " on Line " + FormatString("%d:\r\n\r\n", mCurrentLineNum) + mCurrentLine;
  mApp->ShowFatalError(text);
  return false;
}

bool FontData::Load(OrvoAppBase* app, const std::string& fontDescFileName) {
  if (mInitialized) return false;
  mApp = app;
  mError.clear();
  mFontErrorHeader = "Font Descriptor Error in " + fontDescFileName + "\r\n";
  mSourceFile = fontDescFileName;
  mInitialized = LoadFile(fontDescFileName);
  return mInitialized;
}

bool FontData::FindLayer(const DataElement* element, FontLayer** layer) {
  *layer = nullptr;
  if (element->mIsList) return false;
  auto it = mFontLayerMap.find(ToUpperCopy(AsSingle(element)->mString));
  if (it == mFontLayerMap.end()) return Error("Undefined Layer");
  *layer = it->second;
  return true;
}

bool FontData::DataToString(const DataElement* element, std::string* out) {
  out->clear();
  if (element->mIsList) return false;
  const std::string& text = AsSingle(element)->mString;
  if (DataElement* value = FindDefine(text)) {
    if (value->mIsList) return false;
    *out = Unquote(AsSingle(value)->mString);
  } else {
    *out = Unquote(text);
  }
  return true;
}

bool FontData::DataToList(const DataElement* element, ListDataElement* out) {
  if (element->mIsList) return ResolveDefines(*AsList(element), out);
  DataElement* value = FindDefine(AsSingle(element)->mString);
  if (value == nullptr || !value->mIsList) return false;
  out->Assign(*AsList(value));
  return true;
}

void FontData::DataElementToString(const DataElement* element, std::string* out) {
  if (!element->mIsList) {
    *out = AsSingle(element)->mString;
    return;
  }
  std::string text = "(";
  const auto& items = AsList(element)->mElementVector;
  for (std::size_t i = 0; i < items.size(); ++i) {
    std::string item;
    DataElementToString(items[i], &item);
    if (i > 0) text += ", ";
    text += item;
  }
  *out = text + ")";
}

bool FontData::GetColorFromArg(const DataElement* element, Color* color) {
  if (element->mIsList) {
    std::vector<double> values;
    // Exactly red, green, blue and alpha.
    if (!DataToDoubleVector(element, &values) || values.size() != 4) return false;
    // Fractions outside 0..1 are held to the channel range.
    *color = Color(ClampChannel(values[0]), ClampChannel(values[1]), ClampChannel(values[2]), ClampChannel(values[3]));
    return true;
  }
  std::string text;
  int packed = 0;
  if (!DataToString(element, &text) || !ParseInt(text, &packed)) return false;
  *color = Color(packed);
  return true;
}

bool FontData::ParamToStringVector(const DataElement* element, std::vector<std::string>* out) {
  out->clear();
  if (!element->mIsList) {
    const std::string& text = AsSingle(element)->mString;
    DataElement* value = FindDefine(text);
    if (value == nullptr) {
      out->push_back(Unquote(text));
      return true;
    }
    if (!value->mIsList) {
      out->push_back(Unquote(AsSingle(value)->mString));
      return true;
    }
    element = value;
  }
  for (const DataElement* item : AsList(element)->mElementVector) {
    if (item->mIsList) {
      out->clear();
      return false;
    }
    const std::string& text = AsSingle(item)->mString;
    const DataElement* value = text.empty() || text[0] == '\'' || text[0] == '"' ? nullptr : FindDefine(text);
    if (value != nullptr && value->mIsList) {
      out->clear();
      return false;
    }
    out->push_back(Unquote(value != nullptr ? AsSingle(value)->mString : text));
  }
  return true;
}

bool FontData::ParamToIntVector(const DataElement* element, std::vector<int>* out) {
  std::vector<std::string> texts;
  out->clear();
  if (!ParamToStringVector(element, &texts)) return false;
  for (const std::string& text : texts) {
    int value = 0;
    if (!ParseInt(text, &value)) {
      out->clear();
      return false;
    }
    out->push_back(value);
  }
  return true;
}

bool FontData::ParamToInt(const DataElement* element, int* out) {
  std::string text;
  return DataToString(element, &text) && ParseInt(text, out);
}

bool FontData::LoadLayerImage(FontLayer* layer, const std::string& fileName) {
  const std::string dir = GetFileDir(mSourceFile, false);
  const std::string path = dir.empty() ? fileName : ResolvePath(fileName, dir);
  if (mApp != nullptr) {
    bool created = false;
    SharedImageRef ref = mApp->AcquireSharedImage(path, "", &created);
    if (ref.GetImage() == nullptr) return Error("Failed to Load Image");
    if (created) ref.GetImage()->Palletize();
    layer->mImage = ref;
    return true;
  }
  // Without an application the font keeps its own copy of the image.
  std::unique_ptr<ImageLib::Image> loaded(ImageLib::GetImage(path, true));
  if (loaded == nullptr) return Error("Failed to Load Image");
  auto* image = new MemoryImage();
  image->SetBits(loaded->GetBits(), loaded->GetWidth(), loaded->GetHeight());
  image->Palletize();
  layer->mImage = image;
  layer->mImage.mOwnsUnshared = true;
  return true;
}

bool FontData::HandleCommand(const ListDataElement& params) {
  const auto& p = params.mElementVector;
  const std::string command = ToUpperCopy(AsSingle(p[0])->mString);
  const std::size_t count = p.size() - 1;
  bool typeError = false;
  bool sizeMismatch = false;

  auto wantCount = [&](std::size_t n) { return count == n ? true : Error("Invalid Number of Parameters"); };
  auto finish = [&]() {
    if (typeError) return Error("Invalid Paramater Type");
    if (sizeMismatch) return Error("List Size Mismatch");
    return true;
  };
  auto oneChar = [](const std::string& s) { return s.size() == 1; };
  // Commands on one layer: the layer is found (or reported) first.
  auto withLayer = [&](std::size_t n, const std::function<void(FontLayer*)>& body) {
    if (!wantCount(n)) return false;
    FontLayer* layer = nullptr;
    if (!FindLayer(p[1], &layer)) return Error("Invalid Paramater Type");
    body(layer);
    return finish();
  };
  auto setInt = [&](int FontLayer::*field) {
    return withLayer(2, [&](FontLayer* layer) {
      int value = 0;
      if (p[2]->mIsList || !ParamToInt(p[2], &value)) {
        typeError = true;
        return;
      }
      layer->*field = value;
    });
  };
  // Paired lists of characters and integers: one call per entry.
  auto perCharInt = [&](const std::function<void(FontLayer*, unsigned char, int)>& apply) {
    return withLayer(3, [&](FontLayer* layer) {
      std::vector<std::string> chars;
      std::vector<int> values;
      if (!ParamToStringVector(p[2], &chars) || !ParamToIntVector(p[3], &values)) {
        typeError = true;
        return;
      }
      if (chars.size() != values.size()) {
        sizeMismatch = true;
        return;
      }
      for (std::size_t i = 0; i < chars.size(); ++i) {
        if (!oneChar(chars[i])) {
          typeError = true;
          continue;
        }
        apply(layer, static_cast<unsigned char>(chars[i][0]), values[i]);
      }
    });
  };
  // Paired lists of characters and integer lists of a fixed size.
  auto perCharList = [&](std::size_t size, const std::function<bool(FontLayer*, unsigned char, const std::vector<int>&)>& apply,
                         const std::function<bool(FontLayer*)>& before, const std::function<void(FontLayer*)>& after) {
    if (!wantCount(3)) return false;
    FontLayer* layer = nullptr;
    if (!FindLayer(p[1], &layer)) return Error("Invalid Paramater Type");
    if (before && !before(layer)) return false;
    std::vector<std::string> chars;
    ListDataElement lists;
    if (!ParamToStringVector(p[2], &chars) || !DataToList(p[3], &lists)) return Error("Invalid Paramater Type");
    if (chars.size() != lists.mElementVector.size()) return Error("List Size Mismatch");
    for (std::size_t i = 0; i < chars.size(); ++i) {
      std::vector<int> values;
      if (!oneChar(chars[i]) || !lists.mElementVector[i]->mIsList ||
          !DataToIntVector(lists.mElementVector[i], &values) || values.size() != size) {
        typeError = true;
        continue;
      }
      if (!apply(layer, static_cast<unsigned char>(chars[i][0]), values)) return false;
    }
    if (after) after(layer);
    return finish();
  };

  if (command == "DEFINE") {
    if (!wantCount(2)) return false;
    if (p[1]->mIsList || IsNumericText(AsSingle(p[1])->mString)) return Error("Invalid Paramater Type");
    const std::string name = AsSingle(p[1])->mString;
    DataElement* value = nullptr;
    if (p[2]->mIsList) {
      auto* resolved = new ListDataElement();
      if (!ResolveDefines(*AsList(p[2]), resolved)) {
        delete resolved;
        return false;
      }
      value = resolved;
    } else if (DataElement* defined = FindDefine(AsSingle(p[2])->mString)) {
      value = defined->Duplicate();
    } else {
      value = p[2]->Duplicate();
    }
    SetDefine(name, value);
    return true;
  }
  if (command == "CREATEHORZSPANRECTLIST") {
    if (!wantCount(3)) return false;
    std::vector<int> rect, widths;
    if (p[1]->mIsList || !ParamToIntVector(p[2], &rect) || rect.size() != 4 || !ParamToIntVector(p[3], &widths))
      return Error("Invalid Paramater Type");
    auto* list = new ListDataElement();
    long long x = rect[0];  // wide, so that hostile widths cannot overflow the running sum
    for (int width : widths) {
      auto* entry = new ListDataElement();
      for (long long v : {x, static_cast<long long>(rect[1]), static_cast<long long>(width), static_cast<long long>(rect[3])})
        entry->Append(new SingleDataElement(FormatString("%lld", v)));
      list->Append(entry);
      x += width;
    }
    SetDefine(AsSingle(p[1])->mString, list);
    return true;
  }
  if (command == "SETDEFAULTPOINTSIZE") {
    if (!wantCount(1)) return false;
    int size = 0;
    if (p[1]->mIsList || !ParamToInt(p[1], &size)) return Error("Invalid Paramater Type");
    mDefaultPointSize = size;
    return true;
  }
  if (command == "SETCHARMAP") {
    if (!wantCount(2)) return false;
    std::vector<std::string> from, to;
    if (!ParamToStringVector(p[1], &from) || !ParamToStringVector(p[2], &to)) return Error("Invalid Paramater Type");
    if (from.size() != to.size()) return Error("List Size Mismatch");
    for (std::size_t i = 0; i < from.size(); ++i) {
      if (!oneChar(from[i]) || !oneChar(to[i])) {
        typeError = true;
        continue;
      }
      mCharMap[static_cast<unsigned char>(from[i][0])] = static_cast<unsigned char>(to[i][0]);
    }
    return finish();
  }
  if (command == "CREATELAYER" || command == "CREATELAYERFROM") {
    const bool copy = command == "CREATELAYERFROM";
    if (!wantCount(copy ? 2 : 1)) return false;
    if (p[1]->mIsList) return Error("Invalid Paramater Type");
    FontLayer* source = nullptr;
    if (copy && !FindLayer(p[2], &source)) return Error("Invalid Paramater Type");
    if (copy) {
      mFontLayerList.push_back(*source);
      mFontLayerList.back().mFontData = this;
    } else {
      mFontLayerList.emplace_back(this);
    }
    const std::string name = ToUpperCopy(AsSingle(p[1])->mString);
    if (mFontLayerMap.count(name) != 0) return Error("Layer Already Exists");
    mFontLayerMap[name] = &mFontLayerList.back();
    return true;
  }
  if (command == "LAYERREQUIRETAGS" || command == "LAYEREXCLUDETAGS") {
    const bool require = command == "LAYERREQUIRETAGS";
    return withLayer(2, [&](FontLayer* layer) {
      std::vector<std::string> tags;
      if (!ParamToStringVector(p[2], &tags)) {
        typeError = true;
        return;
      }
      for (const std::string& tag : tags) (require ? layer->mRequiredTags : layer->mExcludedTags).push_back(ToUpperCopy(tag));
    });
  }
  if (command == "LAYERPOINTRANGE") {
    return withLayer(3, [&](FontLayer* layer) {
      int low = 0, high = 0;
      if (p[2]->mIsList || p[3]->mIsList || !ParamToInt(p[2], &low) || !ParamToInt(p[3], &high)) {
        typeError = true;
        return;
      }
      layer->mMinPointSize = low;
      layer->mMaxPointSize = high;
    });
  }
  if (command == "LAYERSETPOINTSIZE") return setInt(&FontLayer::mPointSize);
  if (command == "LAYERSETHEIGHT") return setInt(&FontLayer::mHeight);
  if (command == "LAYERSETIMAGE") {
    if (!wantCount(2)) return false;
    FontLayer* layer = nullptr;
    if (!FindLayer(p[1], &layer)) return Error("Invalid Paramater Type");
    std::string file;
    if (!DataToString(p[2], &file)) return Error("Invalid Paramater Type");
    return LoadLayerImage(layer, file);
  }
  if (command == "LAYERSETDRAWMODE") {
    return withLayer(2, [&](FontLayer* layer) {
      int mode = 0;
      if (p[2]->mIsList || !ParamToInt(p[2], &mode) || (mode != 0 && mode != 1)) {
        typeError = true;
        return;
      }
      layer->mDrawMode = mode;
    });
  }
  if (command == "LAYERSETCOLORMULT" || command == "LAYERSETCOLORADD") {
    const bool mult = command == "LAYERSETCOLORMULT";
    return withLayer(2, [&](FontLayer* layer) {
      Color color;
      if (!GetColorFromArg(p[2], &color)) {
        typeError = true;
        return;
      }
      (mult ? layer->mColorMult : layer->mColorAdd) = color;
    });
  }
  if (command == "LAYERSETASCENT") return setInt(&FontLayer::mAscent);
  if (command == "LAYERSETASCENTPADDING") return setInt(&FontLayer::mAscentPadding);
  if (command == "LAYERSETLINESPACINGOFFSET") return setInt(&FontLayer::mLineSpacingOffset);
  if (command == "LAYERSETOFFSET") {
    return withLayer(2, [&](FontLayer* layer) {
      std::vector<int> offset;
      if (!ParamToIntVector(p[2], &offset) || offset.size() != 2) {
        typeError = true;
        return;
      }
      layer->mOffset = Point{offset[0], offset[1]};
    });
  }
  if (command == "LAYERSETCHARWIDTHS")
    return perCharInt([](FontLayer* layer, unsigned char c, int v) { layer->mCharData[c].mWidth = v; });
  if (command == "LAYERSETSPACING") return setInt(&FontLayer::mSpacing);
  if (command == "LAYERSETIMAGEMAP") {
    auto before = [&](FontLayer* layer) { return layer->GetImage() != nullptr ? true : Error("Layer image not set"); };
    auto apply = [&](FontLayer* layer, unsigned char c, const std::vector<int>& r) {
      Image* image = layer->GetImage();
      if (r[0] < 0 || r[1] < 0 || r[2] < 0 || r[3] < 0 || static_cast<long long>(r[0]) + r[2] > image->GetWidth() ||
          static_cast<long long>(r[1]) + r[3] > image->GetHeight())
        return Error("Image rectangle out of bounds");
      layer->mCharData[c].mImageRect = Rect(r[0], r[1], r[2], r[3]);
      return true;
    };
    auto after = [](FontLayer* layer) {
      int tallest = 0;
      for (const CharData& cd : layer->mCharData) tallest = std::max(tallest, cd.mImageRect.mHeight + cd.mOffset.mY);
      layer->mDefaultHeight = tallest;
    };
    return perCharList(4, apply, before, after);
  }
  if (command == "LAYERSETCHAROFFSETS") {
    return perCharList(
        2,
        [](FontLayer* layer, unsigned char c, const std::vector<int>& v) {
          layer->mCharData[c].mOffset = Point{v[0], v[1]};
          return true;
        },
        nullptr, nullptr);
  }
  if (command == "LAYERSETKERNINGPAIRS") {
    return withLayer(3, [&](FontLayer* layer) {
      std::vector<std::string> pairs;
      std::vector<int> offsets;
      if (!ParamToStringVector(p[2], &pairs) || !ParamToIntVector(p[3], &offsets)) {
        typeError = true;
        return;
      }
      if (pairs.size() != offsets.size()) {
        sizeMismatch = true;
        return;
      }
      for (std::size_t i = 0; i < pairs.size(); ++i) {
        if (pairs[i].size() != 2) {
          typeError = true;
          continue;
        }
        const auto first = static_cast<unsigned char>(pairs[i][0]);
        const auto second = static_cast<unsigned char>(pairs[i][1]);
        layer->mCharData[first].mKerningOffsets[second] = static_cast<signed char>(offsets[i]);
      }
    });
  }
  if (command == "LAYERSETBASEORDER") return setInt(&FontLayer::mBaseOrder);
  if (command == "LAYERSETCHARORDERS")
    return perCharInt([](FontLayer* layer, unsigned char c, int v) { layer->mCharData[c].mOrder = v; });
  return Error("Unknown Command");
}

bool FontData::LoadImageStrip(Image* image, const std::string& layoutFileName) {
  if (mInitialized || image == nullptr) return false;
  mFontLayerList.emplace_back(this);
  if (mFontLayerMap.count("") != 0) return false;
  FontLayer* layer = &mFontLayerList.back();
  mFontLayerMap[""] = layer;
  layer->mImage = dynamic_cast<MemoryImage*>(image);
  layer->mDefaultHeight = image->GetHeight();
  layer->mAscent = image->GetHeight();

  std::FILE* file = std::fopen(layoutFileName.c_str(), "r");
  if (file == nullptr) return false;
  mSourceFile = layoutFileName;
  int spaceWidth = 0, ascent = 0;
  if (std::fscanf(file, "%d%d", &spaceWidth, &ascent) == 2) {
    layer->mCharData[static_cast<unsigned char>(' ')].mWidth = spaceWidth;
    layer->mAscent = ascent;
    int x = 0;
    char text[2] = {};
    int width = 0;
    // Glyphs lie side by side; a width that is negative or runs past the image ends the list.
    while (std::fscanf(file, "%1s%d", text, &width) == 2) {
      if (width < 0 || static_cast<long long>(x) + width > image->GetWidth()) break;
      CharData& cd = layer->mCharData[static_cast<unsigned char>(text[0])];
      cd.mImageRect = Rect(x, 0, width, image->GetHeight());
      cd.mWidth = width;
      x += width;
    }
  }
  for (int c = 'A'; c <= 'Z'; ++c) {
    const int lower = c - 'A' + 'a';
    if (layer->mCharData[c].mWidth == 0 && layer->mCharData[lower].mWidth != 0)
      mCharMap[c] = static_cast<unsigned char>(lower);
    if (layer->mCharData[lower].mWidth == 0 && layer->mCharData[c].mWidth != 0)
      mCharMap[lower] = static_cast<unsigned char>(c);
  }
  mInitialized = true;
  std::fclose(file);
  return true;
}

}  // namespace Orvo
