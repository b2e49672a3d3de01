// Writing generated files safely: every file goes to a temporary name first and is then
// renamed into place, so an interrupted run never leaves a half-written file behind.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string_view>
#include <vector>

namespace assets {

/// Writes bytes to path (creating its folder), through a temporary file and a rename.
/// Throws std::runtime_error naming the file when anything fails.
void WriteFileAtomic(const std::filesystem::path& path, const std::vector<uint8_t>& bytes);
void WriteFileAtomic(const std::filesystem::path& path, std::string_view text);

/// Reads a whole file; throws std::runtime_error naming the file when it cannot be read.
std::vector<uint8_t> ReadWholeFile(const std::filesystem::path& path);

} // namespace assets
