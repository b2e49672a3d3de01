// The shared image handle that the application's image cache, the resource manager and fonts
// hand around: a counted reference to a cached image, or a plain image pointer instead.
#pragma once

namespace Orvo {

class DDImage;
class MemoryImage;

// One cached image and the number of handles that hold it.
struct SharedImage {
  DDImage* mImage = nullptr;
  int mRefCount = 0;
};

class SharedImageRef {
 public:
  SharedImage* mSharedImage = nullptr;
  MemoryImage* mUnsharedImage = nullptr;
  bool mOwnsUnshared = false;

  SharedImageRef() = default;
  SharedImageRef(SharedImage* sharedImage);  // NOLINT: handles are built from cache records
  SharedImageRef(const SharedImageRef& other);
  ~SharedImageRef();

  // Drops what the handle holds. Releasing the last reference to a cached image does not free
  // it: it raises the application's clean-up flag and the application frees it later.
  void Release();

  SharedImageRef& operator=(const SharedImageRef& other);
  SharedImageRef& operator=(SharedImage* sharedImage);
  SharedImageRef& operator=(MemoryImage* memoryImage);

  DDImage* GetDDImage() const;
  // The unshared image when set, else the cached one, else null.
  MemoryImage* GetImage() const;
};

}  // namespace Orvo
