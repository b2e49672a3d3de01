// What the images need of the application object, in one place: registration in the
// application's image set, its display and 3D state, and the shared-image clean-up flag.
// Every call accepts a null application and then does nothing (or answers "no").
#pragma once

namespace Orvo {

class OrvoAppBase;
class MemoryImage;
class NativeDisplay;

namespace imageapp {

OrvoAppBase* ProcessApp();
void Register(OrvoAppBase* app, MemoryImage* image);
void Unregister(OrvoAppBase* app, MemoryImage* image);
bool Is3DAccelerated(OrvoAppBase* app);
NativeDisplay* Display(OrvoAppBase* app);
void Remove3DData(OrvoAppBase* app, MemoryImage* image);
void RaiseSharedImageCleanup(OrvoAppBase* app);

}  // namespace imageapp
}  // namespace Orvo
