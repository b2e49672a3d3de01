// Writes pak archives: a table of names, sizes and file times, then the data, every byte
// XORed with the archive key. The same entries always give the same bytes: entries are
// sorted by the key they are looked up under and carry one fixed file time.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace assets {

struct PakSource {
  std::string name;  // stored name: relative path with '\' separators
  std::vector<std::uint8_t> data;
};

// 2026-01-01 00:00:00 UTC as a Windows file time: every entry of a built archive carries it.
constexpr std::uint64_t kPakFixedFileTime = 134116992000000000ull;

// The archive bytes for these entries (in any order). Throws std::runtime_error for an
// empty or overlong (> 255 bytes) name, two names that differ only in letter case or
// separators, or data too large for the format's signed 32-bit offsets.
std::vector<std::uint8_t> BuildPak(std::vector<PakSource> entries, std::uint64_t fileTime = kPakFixedFileTime);

// Builds the archive and writes it to a temporary file beside `out`, then renames it over
// `out`, so a failed run never leaves a half-written archive. Throws std::runtime_error.
void WritePakFile(const std::filesystem::path& out, const std::vector<PakSource>& entries);

// The stored name of a file at `relative` below the packed folder ("fonts\a.txt").
std::string PakEntryName(const std::filesystem::path& relative);

// Every regular file below `root`, with its stored name, read whole.
std::vector<PakSource> CollectTree(const std::filesystem::path& root);

}  // namespace assets
