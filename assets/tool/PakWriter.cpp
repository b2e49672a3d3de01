// Pak archive writer used by the asset tool at build time.
#include "assets/tool/PakWriter.h"

#include "assets/content/FileOut.h"

#include <algorithm>
#include <limits>
#include <set>
#include <stdexcept>

namespace assets {

namespace {

constexpr std::uint8_t kKey = 0x6D;
constexpr std::uint32_t kMagic = 0xBAC04AC0u;
constexpr std::uint32_t kVersion = 0;
constexpr std::uint8_t kEndOfTable = 0x80;

std::string LookupKey(const std::string& name) {
  std::string key = name;
  for (char& c : key) {
    if (c == '/') c = '\\';
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return key;
}

void PutLe32(std::vector<std::uint8_t>& out, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

}  // namespace

std::vector<std::uint8_t> BuildPak(std::vector<PakSource> entries, std::uint64_t fileTime) {
  std::sort(entries.begin(), entries.end(), [](const PakSource& a, const PakSource& b) {
    const std::string ka = LookupKey(a.name), kb = LookupKey(b.name);
    return ka != kb ? ka < kb : a.name < b.name;
  });
  std::set<std::string> keys;
  std::uint64_t total = 8 + 1;
  for (const PakSource& e : entries) {
    if (e.name.empty() || e.name.size() > 255) {
      throw std::runtime_error("pak entry name must be 1 to 255 bytes: '" + e.name + "'");
    }
    if (!keys.insert(LookupKey(e.name)).second) {
      throw std::runtime_error("two pak entries share the name '" + e.name + "'");
    }
    total += 2 + e.name.size() + 12 + e.data.size();
  }
  if (total > static_cast<std::uint64_t>(std::numeric_limits<std::int32_t>::max())) {
    throw std::runtime_error("pak archive would exceed 2 GiB");
  }

  std::vector<std::uint8_t> out;
  out.reserve(static_cast<std::size_t>(total));
  PutLe32(out, kMagic);
  PutLe32(out, kVersion);
  for (const PakSource& e : entries) {
    out.push_back(0);
    out.push_back(static_cast<std::uint8_t>(e.name.size()));
    out.insert(out.end(), e.name.begin(), e.name.end());
    PutLe32(out, static_cast<std::uint32_t>(e.data.size()));
    PutLe32(out, static_cast<std::uint32_t>(fileTime & 0xFFFFFFFFu));
    PutLe32(out, static_cast<std::uint32_t>(fileTime >> 32));
  }
  out.push_back(kEndOfTable);
  for (const PakSource& e : entries) out.insert(out.end(), e.data.begin(), e.data.end());
  for (std::uint8_t& b : out) b ^= kKey;
  return out;
}

void WritePakFile(const std::filesystem::path& out, const std::vector<PakSource>& entries) {
  WriteFileAtomic(out, BuildPak(entries));
}

std::string PakEntryName(const std::filesystem::path& relative) {
  std::string name = relative.generic_string();
  std::replace(name.begin(), name.end(), '/', '\\');
  return name;
}

std::vector<PakSource> CollectTree(const std::filesystem::path& root) {
  std::vector<PakSource> sources;
  for (const auto& item : std::filesystem::recursive_directory_iterator(root)) {
    if (!item.is_regular_file()) continue;
    sources.push_back({PakEntryName(std::filesystem::relative(item.path(), root)), ReadWholeFile(item.path())});
  }
  return sources;
}

}  // namespace assets
