// libFuzzer target: arbitrary bytes as a resource manifest, read whole by the resource
// manager (defaults, images with alpha images and grids, sounds, fonts, redefinitions), then
// every group it named loaded through stand-in loaders and released again. Images are
// small and their sizes follow their paths, so alpha images that do not fit are met too.
#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "framework/graphics/DDImage.h"
#include "framework/graphics/Font.h"
#include "framework/graphics/ImageLib.h"
#include "framework/graphics/SharedImage.h"
#include "framework/resources/ResourceManager.h"

namespace {

using Orvo::ResourceManager;

struct StandInFont : Orvo::Font {
  Orvo::Font* Duplicate() override { return new StandInFont(*this); }
};

int SideFor(const std::string& path, int salt) { return 1 + static_cast<int>((path.size() + salt) % 5); }

class StandInLoaders : public Orvo::ResourceLoaders {
 public:
  ~StandInLoaders() override {
    for (auto& [key, shared] : mCache) delete shared->mImage;
  }
  Orvo::SharedImageRef AcquireImage(const std::string& path, const std::string& variant, std::uint32_t,
                                    bool* loadedNow) override {
    *loadedNow = false;
    if (path.find("missing") != std::string::npos) return Orvo::SharedImageRef();
    auto& shared = mCache[path + "|" + variant];
    if (shared == nullptr) {
      shared = std::make_unique<Orvo::SharedImage>();
      shared->mImage = new Orvo::DDImage(nullptr);
      shared->mImage->Create(SideFor(path, 0), SideFor(path, 1));
      *loadedNow = true;
    }
    return Orvo::SharedImageRef(shared.get());
  }
  ImageLib::Image* ReadImageFile(const std::string& path) override {
    if (path.find("missing") != std::string::npos) return nullptr;
    auto* image = new ImageLib::Image;
    image->mWidth = SideFor(path, 2);
    image->mHeight = SideFor(path, 3);
    image->mBits = new std::uint32_t[static_cast<std::size_t>(image->mWidth) * image->mHeight]();
    return image;
  }
  bool Is3DAccelerated() override { return mIs3D; }
  Orvo::Image* LoadFontImage(const std::string& path) override {
    if (path.find("missing") != std::string::npos) return nullptr;
    auto* image = new Orvo::DDImage(nullptr);
    image->Create(8, 8);
    return image;
  }
  Orvo::Font* CreateSysFont(const std::string&, int, bool, bool, bool, bool) override { return new StandInFont; }
  Orvo::Font* CreateImageFont(Orvo::Image*, const std::string&) override { return new StandInFont; }
  Orvo::Font* CreateImageFont(const std::string& path) override {
    return path.find("missing") != std::string::npos ? nullptr : new StandInFont;
  }
  void AddFontTag(Orvo::Font*, const std::string&) override {}

  std::map<std::string, std::unique_ptr<Orvo::SharedImage>> mCache;
  bool mIs3D = false;
};

class StandInSounds : public Orvo::ResourceSoundLoader {
 public:
  int GetFreeSoundId() override { return mNext < 8 ? mNext : -1; }
  bool LoadSound(int, const std::string& path) override {
    if (path.find("missing") != std::string::npos) return false;
    ++mNext;
    return true;
  }
  void SetBaseVolume(int, double) override {}
  void SetBasePan(int, int) override {}
  void ReleaseSound(int) override {}
  int mNext = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  StandInLoaders loaders;
  loaders.mIs3D = size > 0 && (data[0] & 1) != 0;
  StandInSounds sounds;
  {
    ResourceManager manager(&loaders, &sounds);
    manager.SetAllowAlreadyDefinedResources(size > 0 && (data[0] & 2) != 0);
    manager.ParseResourcesText(std::string(reinterpret_cast<const char*>(data), size));
    std::vector<std::string> groups;
    for (const auto& [name, list] : manager.GetGroups()) groups.push_back(name);
    for (const std::string& group : groups) {
      manager.LoadGroup(group);
      try {
        manager.RequireImage("IMAGE_" + group);  // a resource that is missing or failed throws, by contract
      } catch (const Orvo::ResourceManagerException&) {
      }
    }
    manager.DeleteResources("");
    if (!groups.empty()) manager.LoadGroup(groups.front());
  }
  return 0;
}
