// The shared image handle: counted references to the application's cached images.
#include "framework/graphics/SharedImage.h"

#include "framework/graphics/DDImage.h"
#include "framework/graphics/ImageAppLink.h"
#include "framework/graphics/MemoryImage.h"

namespace Orvo {

SharedImageRef::SharedImageRef(SharedImage* sharedImage) : mSharedImage(sharedImage) {
  if (mSharedImage != nullptr) ++mSharedImage->mRefCount;
}

SharedImageRef::SharedImageRef(const SharedImageRef& other)
    : mSharedImage(other.mSharedImage), mUnsharedImage(other.mUnsharedImage) {
  if (mSharedImage != nullptr) ++mSharedImage->mRefCount;
}

SharedImageRef::~SharedImageRef() { Release(); }

void SharedImageRef::Release() {
  if (mOwnsUnshared && mUnsharedImage != nullptr) delete mUnsharedImage;
  mUnsharedImage = nullptr;
  if (mSharedImage != nullptr) {
    if (--mSharedImage->mRefCount == 0) imageapp::RaiseSharedImageCleanup(imageapp::ProcessApp());
  }
  mSharedImage = nullptr;
}

SharedImageRef& SharedImageRef::operator=(const SharedImageRef& other) {
  if (this == &other) return *this;
  SharedImage* held = other.mSharedImage;
  // Count the new reference first, so that assigning a handle of the same image never lets
  // the count touch 0 in between.
  if (held != nullptr) ++held->mRefCount;
  Release();
  mSharedImage = held;
  return *this;
}

SharedImageRef& SharedImageRef::operator=(SharedImage* sharedImage) {
  if (sharedImage != nullptr) ++sharedImage->mRefCount;
  Release();
  mSharedImage = sharedImage;
  return *this;
}

SharedImageRef& SharedImageRef::operator=(MemoryImage* memoryImage) {
  Release();
  mUnsharedImage = memoryImage;
  return *this;
}

DDImage* SharedImageRef::GetDDImage() const { return mSharedImage != nullptr ? mSharedImage->mImage : nullptr; }

MemoryImage* SharedImageRef::GetImage() const {
  if (mUnsharedImage != nullptr) return mUnsharedImage;
  return GetDDImage();
}

}  // namespace Orvo
