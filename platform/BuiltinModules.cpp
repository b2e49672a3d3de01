// The stand-in libraries this layer provides, registered on the first LoadLibrary.
#include "platform/DirectDraw.h"
#include "platform/Module.h"

namespace plat {

void RegisterBuiltinModules() {
  // Each stand-in library adds its registration call here.
  RegisterDirectDrawModule();
}

}  // namespace plat
