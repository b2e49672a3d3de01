// The resource manager's loaders over the application: shared images and image files
// through the application and ImageLib, fonts as ImageFont and SysFont objects, sounds
// through the application's sound manager.
#include <memory>

#include "framework/core/Common.h"
#include "framework/core/OrvoAppBase.h"
#include "framework/graphics/DDImage.h"
#include "framework/graphics/ImageFont.h"
#include "framework/graphics/ImageLib.h"
#include "framework/graphics/SysFont.h"
#include "framework/resources/ResourceManager.h"
#include "framework/sound/SoundManager.h"

namespace Orvo {

namespace {

// ImageLib's colour for images that exist only as an alpha image, when nobody asks for another.
constexpr std::uint32_t kDefaultAlphaImageColor = 0x00FFFFFF;

class AppResourceLoaders : public ResourceLoaders {
 public:
  explicit AppResourceLoaders(OrvoAppBase* app) : mApp(app) {}

  SharedImageRef AcquireImage(const std::string& path, const std::string& variant, std::uint32_t alphaColor,
                              bool* loadedNow) override {
    if (mApp == nullptr) return SharedImageRef();
    ImageLib::AlphaImageColor = alphaColor;
    SharedImageRef ref = mApp->AcquireSharedImage(path, variant, loadedNow);
    ImageLib::AlphaImageColor = kDefaultAlphaImageColor;
    return ref;
  }

  ImageLib::Image* ReadImageFile(const std::string& path) override { return ImageLib::GetImage(path, false); }

  bool Is3DAccelerated() override { return mApp != nullptr && mApp->Is3DAccelerated(); }

  Image* LoadFontImage(const std::string& path) override {
    if (mApp == nullptr) return nullptr;
    DDImage* image = mApp->LoadImageFile(path);
    if (image != nullptr) image->CommitBits();
    return image;
  }

  Font* CreateSysFont(const std::string& face, int pointSize, bool bold, bool italic, bool underline,
                      bool shadow) override {
    // The Windows 9x family draws bold faces badly: there the font draws its own bold.
    const bool drawOwnBold = IsWindows9x();
    auto* font = new SysFont(mApp, face, pointSize, 0, bold && !drawOwnBold, italic, underline);
    if (drawOwnBold) font->mSimulateBold = bold;
    font->mDrawShadow = shadow;
    return font;
  }

  Font* CreateImageFont(Image* image, const std::string& layout) override { return new ImageFont(image, layout); }

  Font* CreateImageFont(const std::string& descriptorPath) override {
    auto font = std::make_unique<ImageFont>(mApp, descriptorPath);
    if (font->mFontData == nullptr || !font->mFontData->mInitialized) return nullptr;
    return font.release();
  }

  void AddFontTag(Font* font, const std::string& tag) override {
    if (auto* imageFont = dynamic_cast<ImageFont*>(font)) imageFont->AddTag(tag);
  }

 private:
  OrvoAppBase* mApp;
};

// Sound ids of the application's sound manager (none while the application has none).
class AppSoundLoader : public ResourceSoundLoader {
 public:
  explicit AppSoundLoader(OrvoAppBase* app) : mApp(app) {}

  int GetFreeSoundId() override { return Manager() != nullptr ? Manager()->GetFreeSoundId() : -1; }
  bool LoadSound(int id, const std::string& path) override {
    return Manager() != nullptr && Manager()->LoadSoundAt(id, path);
  }
  void SetBaseVolume(int id, double volume) override {
    if (Manager() != nullptr) Manager()->SetBaseVolume(id, volume);
  }
  void SetBasePan(int id, int pan) override {
    if (Manager() != nullptr) Manager()->SetBasePan(id, pan);
  }
  void ReleaseSound(int id) override {
    if (Manager() != nullptr) Manager()->ReleaseSound(id);
  }

 private:
  SoundManager* Manager() const { return mApp != nullptr ? mApp->mSoundManager : nullptr; }
  OrvoAppBase* mApp;
};

}  // namespace

ResourceManager::ResourceManager(OrvoAppBase* app)
    : mApp(app),
      mOwnedLoaders(std::make_unique<AppResourceLoaders>(app)),
      mOwnedSoundLoader(std::make_unique<AppSoundLoader>(app)) {
  mLoaders = mOwnedLoaders.get();
  mSoundLoader = mOwnedSoundLoader.get();
}

}  // namespace Orvo
