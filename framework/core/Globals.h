// The framework's process-wide objects, built before the entry function runs and taken
// down after it, in a fixed order: the crash report's strings, transfer and texts, the
// Mersenne Twister, the crash catcher's filter, and the pak interface of the process.
// Each is also reachable on first use, so code that runs while other files are still
// being initialised finds it built.
#pragma once

namespace Orvo {

// Builds the process-wide objects in their order; later calls do nothing. A static
// initialiser calls it before the entry function.
void EnsureFrameworkGlobals();

}  // namespace Orvo
