// Construction of the framework's process-wide objects in their fixed order. Each object
// is a function-local static behind its accessor, so it is built on first use whatever
// the order in which the program's files are initialised, and the runtime destroys them
// in the reverse order of construction at exit, after the application object is gone.
#include "framework/core/Globals.h"

#include "framework/core/Common.h"
#include "framework/core/CrashCatcher.h"
#include "framework/resources/PakInterface.h"

namespace Orvo {

void EnsureFrameworkGlobals() {
  static const bool built = [] {
    // The crash report's strings, its HTTP transfer and its window texts.
    CrashCatcher::Get();
    // The framework's Mersenne Twister, seeded with its default seed.
    GetMTRand();
    // The unhandled-exception filter, which puts the previous one back at exit.
    CrashCatcher::InstallFilter();
    // The pak interface of the process, published for every module.
    FindPakInterface();
    return true;
  }();
  (void)built;
}

namespace {
struct BuildBeforeEntry {
  BuildBeforeEntry() { EnsureFrameworkGlobals(); }
} gBuildBeforeEntry;
}  // namespace

}  // namespace Orvo
