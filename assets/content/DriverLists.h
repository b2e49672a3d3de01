// The driver lists the 3D capability test reads from the program folder: "vhw.dat" names the
// display adapters trusted with hardware acceleration, "vhwb.dat" those refused even when
// listed as trusted. One text per line, matched without regard to case inside the adapter's
// description.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace assets {

inline constexpr const char* kTrustedDriversPath = "vhw.dat";
inline constexpr const char* kRefusedDriversPath = "vhwb.dat";

/// Adapter descriptions (or parts of them) accepted for hardware acceleration.
const std::vector<std::string>& TrustedDrivers();
/// Adapter descriptions refused, whatever the trusted list says.
const std::vector<std::string>& RefusedDrivers();

/// Writes both lists into outDir.
void GenerateDriverLists(const std::filesystem::path& outDir);

} // namespace assets
