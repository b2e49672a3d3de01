// The application side of the display: what the display reads of the application's settings
// when it starts and what it reports back (refresh trouble, the screen rectangle).
#include "framework/core/OrvoAppBase.h"
#include "framework/graphics/DDInterface.h"

namespace Orvo {
namespace displayapp {

void FillRequest(OrvoAppBase* app, DisplayRequest& request) {
  if (app == nullptr) return;
  request.width = app->mWidth;
  request.height = app->mHeight;
  request.colorDepth = app->mColorDepth;
  request.aspect = app->mAspectRatio;
  request.pageFlipAllowed = app->mPageFlippingAllowed;
}

bool FocusLostInputBlock(OrvoAppBase* app) { return app != nullptr && app->mFocusLostInputBlock; }

void SetVsyncUnreliable(OrvoAppBase* app) {
  if (app != nullptr) app->mVSyncUnreliable = true;
}

void SetScreenRect(OrvoAppBase* app, const Rect& rect) {
  if (app != nullptr) app->mScreenBounds = rect;
}

}  // namespace displayapp
}  // namespace Orvo
