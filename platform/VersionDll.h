// The stand-in for "version.dll": every existing file reports this build's product version
// in a version block with the US-English string table.
#pragma once

namespace plat {

// The product version every file reports.
constexpr const char* kBuildProductVersion = "1.0";

void RegisterVersionModule();

}  // namespace plat
