// The images' calls into the application object.
#include "framework/graphics/ImageAppLink.h"

#include "framework/core/OrvoAppBase.h"
#include "framework/graphics/DDInterface.h"
#include "framework/graphics/MemoryImage.h"

namespace Orvo::imageapp {

OrvoAppBase* ProcessApp() { return gOrvoAppBase; }

void Register(OrvoAppBase* app, MemoryImage* image) {
  if (app != nullptr) app->RegisterImage(image);
}

void Unregister(OrvoAppBase* app, MemoryImage* image) {
  if (app != nullptr) app->UnregisterImage(image);
}

bool Is3DAccelerated(OrvoAppBase* app) { return app != nullptr && app->Is3DAccelerated(); }

// The display's colour layout; null (no application or no display yet) means the 32-bit
// X8R8G8B8 layout, which the software conversions then assume.
NativeDisplay* Display(OrvoAppBase* app) { return app != nullptr ? app->mDDInterface : nullptr; }

void Remove3DData(OrvoAppBase* app, MemoryImage* image) {
  if (MemoryImage::sRemoveTextureData != nullptr) MemoryImage::sRemoveTextureData(image);
}

void RaiseSharedImageCleanup(OrvoAppBase* app) {
  if (app != nullptr) app->mCleanSharedImages = true;
}

}  // namespace Orvo::imageapp
