// The bitmap font: glyphs from the layers of a shared FontData, selected by point size and
// tags, scaled when needed, measured with kerning and drawn layer by layer in order buckets.
#pragma once

#include <list>
#include <string>
#include <vector>

#include "framework/graphics/Font.h"
#include "framework/graphics/FontData.h"

namespace Orvo {

class Image;
class OrvoAppBase;

// One selected layer at the font's current size.
class ActiveFontLayer {
 public:
  FontLayer* mBaseFontLayer = nullptr;  // not owned
  Image* mScaledImage = nullptr;
  bool mOwnsImage = false;
  Rect mScaledCharImageRects[256];

  ActiveFontLayer() = default;
  // An owned image is copied, so that each layer frees only its own.
  ActiveFontLayer(const ActiveFontLayer& other);
  ActiveFontLayer& operator=(const ActiveFontLayer&) = delete;
  virtual ~ActiveFontLayer();
};

typedef std::list<ActiveFontLayer> ActiveFontLayerList;

class ImageFont : public Font {
 public:
  bool mLoaded = false;
  FontData* mFontData;
  int mPointSize = 0;
  std::vector<std::string> mTagVector;
  bool mActiveListValid = false;  // the active layers match point size, scale and tags
  ActiveFontLayerList mActiveLayerList;
  double mScale = 1.0;
  bool mForceScaledImagesWhite = false;

  // Loads the descriptor file; a font that fails to load measures 0 and draws nothing.
  ImageFont(OrvoAppBase* app, const std::string& fontDescFileName);
  // One layer from an image strip and its layout file.
  ImageFont(Image* fontImage, const std::string& layoutFileName);
  ImageFont(const ImageFont& other);
  ~ImageFont() override;

  int StringWidth(const std::string& text) override;
  int CharWidth(char c) override;
  int CharWidthKern(char c, char prevChar) override;
  void DrawString(Graphics* g, int x, int y, const std::string& text, const Color& color,
                  const Rect& clipRect) override;
  Font* Duplicate() override;

  virtual void GenerateActiveFontLayers();
  virtual void DrawStringEx(Graphics* g, int x, int y, const std::string& text, const Color& color,
                            const Rect* clipRect, std::list<Rect>* drawnRects, int* width);
  virtual void SetPointSize(int pointSize);
  virtual int GetPointSize() { return mPointSize; }
  virtual void SetScale(double scale);
  virtual int GetDefaultPointSize();
  virtual bool AddTag(const std::string& tag);
  virtual bool RemoveTag(const std::string& tag);
  virtual bool HasTag(const std::string& tag);
  virtual std::string GetDefine(const std::string& name);
  virtual void Prepare();

  // Most glyph draw commands one string can make.
  static constexpr int MAX_DRAW_COMMANDS = 4096;

 private:
  // Draws every glyph of the layer, scaled, into a new sheet owned by the active layer.
  void BuildScaledSheet(const FontLayer& layer, ActiveFontLayer& active, int width, int height);
};

}  // namespace Orvo
