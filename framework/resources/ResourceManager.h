// The resource manifest: an XML document of images, sounds and fonts sorted into groups.
// The manager turns it into named records, loads and releases them a group at a time, and
// hands loaded resources out by id; the must-exist look-ups throw ResourceManagerException.
#pragma once

#include <cstdint>
#include <exception>
#include <list>
#include <map>
#include <memory>
#include <set>
#include <string>

#include "framework/graphics/Image.h"
#include "framework/graphics/SharedImage.h"

namespace ImageLib {
class Image;
}

namespace Orvo {

class Font;
class OrvoAppBase;
class XmlElement;
class XmlReader;

class ResourceManagerException : public std::exception {
 public:
  explicit ResourceManagerException(std::string what) : mWhat(std::move(what)) {}
  const char* what() const noexcept override { return mWhat.c_str(); }

  std::string mWhat;
};

// What the manager needs of the image and font side of the framework. The application's
// own implementation (AppResourceLoaders) loads through the application and ImageLib;
// tests put their own in its place.
class ResourceLoaders {
 public:
  virtual ~ResourceLoaders() = default;
  // The shared image of (path, variant), made with `alphaColor` as the colour of an image
  // that exists only as an alpha image. loadedNow tells whether it was loaded by this call.
  virtual SharedImageRef AcquireImage(const std::string& path, const std::string& variant,
                                      std::uint32_t alphaColor, bool* loadedNow) = 0;
  // An image file as plain pixels (for alpha images and alpha grids); owned by the caller.
  virtual ImageLib::Image* ReadImageFile(const std::string& path) = 0;
  virtual bool Is3DAccelerated() = 0;
  // A font image with its bits committed; owned by the caller. Null when it cannot be read.
  virtual Image* LoadFontImage(const std::string& path) = 0;
  virtual Font* CreateSysFont(const std::string& face, int pointSize, bool bold, bool italic, bool underline,
                              bool shadow) = 0;
  // An image font over `image` with `layout` as its layout text.
  virtual Font* CreateImageFont(Image* image, const std::string& layout) = 0;
  // An image font from its descriptor file; null when the descriptor did not load.
  virtual Font* CreateImageFont(const std::string& descriptorPath) = 0;
  // Adds a tag to an image font; other fonts take no tags.
  virtual void AddFontTag(Font* font, const std::string& tag) = 0;
};

// Sound ids of the application's sound manager, as far as the manifest uses them.
class ResourceSoundLoader {
 public:
  virtual ~ResourceSoundLoader() = default;
  // A free sound id, or a negative number when none is free.
  virtual int GetFreeSoundId() = 0;
  virtual bool LoadSound(int id, const std::string& path) = 0;
  virtual void SetBaseVolume(int id, double volume) = 0;
  virtual void SetBasePan(int id, int pan) = 0;
  virtual void ReleaseSound(int id) = 0;
};

class ResourceManager {
 public:
  enum ResType { ResType_Image = 0, ResType_Sound = 1, ResType_Font = 2 };

  struct BaseRes {
    virtual ~BaseRes() = default;
    virtual void ReleaseResource() {}

    int mType = ResType_Image;
    std::string mId;
    std::string mResGroup;
    std::string mPath;
    std::map<std::string, std::string> mXMLAttributes;
    bool mFromProgram = false;
  };

  struct ImageRes : BaseRes {
    ImageRes() { mType = ResType_Image; }
    void ReleaseResource() override { mImage.Release(); }
    // Back to the values a record without attributes has (the image stays).
    void ResetOptions();

    SharedImageRef mImage;
    std::string mAlphaImage;
    std::string mAlphaGridImage;
    std::string mVariant;
    bool mAutoFindAlpha = true;
    bool mPalletize = true;
    bool mA4R4G4B4 = false;
    bool mA8R8G8B8 = false;
    bool mDDSurface = false;
    bool mPurgeBits = false;
    bool mMinimizeSubdivisions = false;
    int mRows = 1;
    int mCols = 1;
    std::uint32_t mAlphaColor = 0x00FFFFFF;
    // The animation as the manifest gives it: type, delays, lists, the cel count (the larger
    // of rows and cols) and the total time. Its frame tables are built for the image when it
    // is loaded, once the picture has shown that every cell is at least a pixel.
    AnimInfo mAnimInfo;
    int mBeginDelay = 0;
    int mEndDelay = 0;
  };

  struct SoundRes : BaseRes {
    SoundRes() { mType = ResType_Sound; }
    void ReleaseResource() override;

    int mSoundId = -1;
    double mVolume = -1.0;
    int mPanning = 0;
    ResourceSoundLoader* mSoundLoader = nullptr;  // the manager's, for releasing
  };

  struct FontRes : BaseRes {
    FontRes() { mType = ResType_Font; }
    ~FontRes() override { ReleaseResource(); }
    void ReleaseResource() override;

    Font* mFont = nullptr;
    Image* mImage = nullptr;
    std::string mImagePath;
    std::string mTags;
    bool mSysFont = false;
    bool mBold = false;
    bool mItalic = false;
    bool mUnderline = false;
    bool mShadow = false;
    int mSize = 0;
  };

  using ResMap = std::map<std::string, BaseRes*>;
  using ResList = std::list<BaseRes*>;
  using ResGroupMap = std::map<std::string, ResList>;

  // Loads through the application: images and fonts through its image cache and ImageLib,
  // sounds through its sound manager.
  explicit ResourceManager(OrvoAppBase* app);
  // Loads through the given loaders (owned by the caller, which keeps them alive).
  ResourceManager(ResourceLoaders* loaders, ResourceSoundLoader* soundLoader);
  ResourceManager(const ResourceManager&) = delete;
  ResourceManager& operator=(const ResourceManager&) = delete;
  virtual ~ResourceManager();

  // Reads a manifest file: a root element "ResourceManifest" holding "Resources"
  // sections, each naming its group with the attribute "id". Records are added to what
  // earlier manifests defined. False on the first error (HasError, GetErrorText).
  bool ParseResourcesFile(const std::string& fileName);
  // The same from a document held in memory.
  bool ParseResourcesText(const std::string& text);

  // Reads the elements of one section from `reader` into the group `group`.
  bool ReadSections(XmlReader* reader, const std::string& group);

  virtual bool ReadResourceAttributes(XmlElement& element, BaseRes* res, ResMap& map);
  virtual bool ReadSound(XmlElement& element);
  virtual bool ReadImage(XmlElement& element);
  virtual bool ReadFont(XmlElement& element);
  virtual bool ReadDefaults(XmlElement& element);
  virtual bool ReadSections();
  // Releases the loaded resources of a group (all groups for an empty name) and forgets
  // that it was loaded; the records stay and can be loaded again.
  virtual void DeleteResources(const std::string& group);
  virtual void ReleaseGroup(ResMap& map, const std::string& group);
  virtual bool LoadImageResource(ImageRes* res);
  virtual bool LoadFontResource(FontRes* res);
  virtual bool LoadSoundResource(SoundRes* res);
  virtual bool LoadNextInGroup();
  virtual void ResourceLoadedHook(BaseRes* res) {}
  virtual void StartLoadGroup(const std::string& group);
  virtual bool LoadGroup(const std::string& group);
  virtual SharedImageRef RequireImage(const std::string& id);
  virtual int RequireSound(const std::string& id);
  virtual Font* RequireFont(const std::string& id);

  // Keeps only the first error; always returns false.
  bool SetError(const std::string& text);
  bool HasError() const { return mHasFailed; }
  const std::string& GetErrorText() const { return mError; }
  void ClearError();

  bool IsGroupLoaded(const std::string& group) const { return mLoadedGroups.count(group) != 0; }
  void SetAllowMissingProgramImages(bool allow) { mAllowMissingProgramResources = allow; }
  void SetAllowAlreadyDefinedResources(bool allow) { mAllowAlreadyDefinedResources = allow; }
  const ResMap& GetImageMap() const { return mImageMap; }
  const ResMap& GetSoundMap() const { return mSoundMap; }
  const ResMap& GetFontMap() const { return mFontMap; }
  const ResGroupMap& GetGroups() const { return mResGroupMap; }

 protected:
  // Reads a record's common attributes and, when its id is new, files it; a record whose
  // id is taken is left for the caller (redefinition) and the id's record is returned.
  template <typename Res>
  bool ReadRecord(XmlElement& element, Res*& res, ResMap& map);
  bool MergeAlphaImage(ImageRes* res, MemoryImage* image);
  bool MergeAlphaGrid(ImageRes* res, MemoryImage* image);
  bool ParseReader(XmlReader* reader);

  std::set<std::string> mLoadedGroups;
  ResMap mImageMap;
  ResMap mSoundMap;
  ResMap mFontMap;
  XmlReader* mXMLParser = nullptr;
  std::string mError;
  bool mHasFailed = false;
  OrvoAppBase* mApp = nullptr;
  std::string mCurResGroup;
  std::string mDefaultPath;
  std::string mDefaultIdPrefix;
  bool mAllowMissingProgramResources = false;
  bool mAllowAlreadyDefinedResources = false;
  bool mHadAlreadyDefinedError = false;
  ResGroupMap mResGroupMap;
  ResList* mCurResGroupList = nullptr;
  ResList::iterator mCurResGroupListItr;

  ResourceLoaders* mLoaders = nullptr;
  ResourceSoundLoader* mSoundLoader = nullptr;
  std::unique_ptr<ResourceLoaders> mOwnedLoaders;
  std::unique_ptr<ResourceSoundLoader> mOwnedSoundLoader;
};

}  // namespace Orvo
