// The stand-in libraries this layer provides, registered on the first LoadLibrary.
#include "platform/Module.h"

namespace plat {

void RegisterBuiltinModules() {
  // Each stand-in library adds its registration call here.
}

}  // namespace plat
