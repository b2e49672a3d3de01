// The stand-in libraries this layer provides, registered on the first LoadLibrary.
#include "platform/BassDll.h"
#include "platform/DirectDraw.h"
#include "platform/DirectSound.h"
#include "platform/FModDll.h"
#include "platform/J2KCodec.h"
#include "platform/Module.h"
#include "platform/VersionDll.h"

namespace plat {

void RegisterBuiltinModules() {
  // Each stand-in library adds its registration call here.
  RegisterDirectDrawModule();
  RegisterVersionModule();
  RegisterJ2KCodecModule();
  RegisterDirectSoundModule();
  RegisterBassModule();
  RegisterFModModule();
}

}  // namespace plat
