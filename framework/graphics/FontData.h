// The parsed form of one bitmap-font descriptor: the character map, the default point size
// and the named layers of glyphs, shared by every ImageFont made from it.
#pragma once

#include <atomic>
#include <list>
#include <map>
#include <string>
#include <vector>

#include "framework/graphics/Color.h"
#include "framework/graphics/Rect.h"
#include "framework/graphics/SharedImage.h"
#include "framework/resources/DescParser.h"

namespace Orvo {

class FontData;
class Image;
class OrvoAppBase;

// One character of a layer.
class CharData {
 public:
  Rect mImageRect;                       // where the glyph lies in the layer image
  Point mOffset;                         // glyph position relative to the pen
  signed char mKerningOffsets[256] = {};  // extra advance when character n follows this one
  int mWidth = 0;                        // pen advance
  int mOrder = 0;                        // drawing order, with the layer's base order
};

class FontLayer {
 public:
  FontData* mFontData;
  std::vector<std::string> mRequiredTags;
  std::vector<std::string> mExcludedTags;
  CharData mCharData[256];
  Color mColorMult = Color::White;
  Color mColorAdd{0, 0, 0, 0};
  SharedImageRef mImage;
  int mDrawMode = -1;  // -1 keeps the drawing context's mode
  Point mOffset;
  int mSpacing = 0;
  int mMinPointSize = -1;
  int mMaxPointSize = -1;  // -1: no upper bound
  int mPointSize = 0;      // 0: never scaled by point size
  int mAscent = 0;
  int mAscentPadding = 0;
  int mHeight = 0;
  int mDefaultHeight = 0;
  int mLineSpacingOffset = 0;
  int mBaseOrder = 0;

  explicit FontLayer(FontData* fontData) : mFontData(fontData) {}
  FontLayer(const FontLayer& other) = default;
  FontLayer& operator=(const FontLayer&) = delete;

  Image* GetImage() const;
};

typedef std::list<FontLayer> FontLayerList;
typedef std::map<std::string, FontLayer*> FontLayerMap;

class FontData : public DescParser {
 public:
  bool mInitialized = false;
  std::atomic<int> mRefCount{0};  // fonts on any thread may share the data
  OrvoAppBase* mApp = nullptr;
  int mDefaultPointSize = 0;
  unsigned char mCharMap[256];
  FontLayerList mFontLayerList;
  FontLayerMap mFontLayerMap;
  std::string mSourceFile;
  std::string mFontErrorHeader;
  // Every message reported, in order (the box shows them too when there is an application).
  std::vector<std::string> mErrors;

  FontData();
  ~FontData() override;

  void AddRef() { ++mRefCount; }
  void Release();

  bool Error(const std::string& message) override;
  bool HandleCommand(const ListDataElement& params) override;

  bool Load(OrvoAppBase* app, const std::string& fontDescFileName);
  bool LoadImageStrip(Image* image, const std::string& layoutFileName);

  bool FindLayer(const DataElement* element, FontLayer** layer);
  bool DataToString(const DataElement* element, std::string* out);
  bool DataToList(const DataElement* element, ListDataElement* out);
  static void DataElementToString(const DataElement* element, std::string* out);
  bool GetColorFromArg(const DataElement* element, Color* color);

 private:
  // A command parameter as a list of texts, integers or doubles: a single value that names
  // no define counts as a list of one.
  bool ParamToStringVector(const DataElement* element, std::vector<std::string>* out);
  bool ParamToIntVector(const DataElement* element, std::vector<int>* out);
  bool ParamToInt(const DataElement* element, int* out);
  bool LoadLayerImage(FontLayer* layer, const std::string& fileName);
};

}  // namespace Orvo
