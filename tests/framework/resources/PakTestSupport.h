// Small helpers for tests that need pak archives: builds the archive bytes by hand (so the
// reader is checked against the format, not against the project's own writer) and a
// scratch folder that is removed afterwards.
#pragma once

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/Files.h"

namespace paktest {

struct RawEntry {
  std::string name;
  std::string data;
  std::uint32_t declaredSize = 0xFFFFFFFFu;  // size written in the table; default: data size
  std::uint64_t fileTime = 0x01DC000012345678ull;
};

inline void PutLe32(std::string& out, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) out += static_cast<char>((v >> (8 * i)) & 0xFF);
}

// Plain (unscrambled) archive bytes: header, table, end flag, data.
inline std::string PlainArchive(const std::vector<RawEntry>& entries, std::uint32_t magic = 0xBAC04AC0u,
                                std::uint32_t version = 0) {
  std::string out;
  PutLe32(out, magic);
  PutLe32(out, version);
  for (const RawEntry& e : entries) {
    out += static_cast<char>(0);
    out += static_cast<char>(e.name.size());
    out += e.name;
    PutLe32(out, e.declaredSize == 0xFFFFFFFFu ? static_cast<std::uint32_t>(e.data.size()) : e.declaredSize);
    PutLe32(out, static_cast<std::uint32_t>(e.fileTime & 0xFFFFFFFFu));
    PutLe32(out, static_cast<std::uint32_t>(e.fileTime >> 32));
  }
  out += static_cast<char>(0x80);
  for (const RawEntry& e : entries) out += e.data;
  return out;
}

inline std::string Scramble(std::string bytes) {
  for (char& c : bytes) c = static_cast<char>(c ^ 0x6D);
  return bytes;
}

inline void WriteFile(const std::filesystem::path& path, const std::string& bytes) {
  std::filesystem::create_directories(path.parent_path());
  std::ofstream f(path, std::ios::binary | std::ios::trunc);
  f.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

inline std::string ReadFile(const std::filesystem::path& path) {
  std::ifstream f(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

// A fresh folder under the system's temporary folder, removed when the object goes.
class ScratchDir {
 public:
  explicit ScratchDir(const std::string& tag) {
    static int counter = 0;
    path_ = std::filesystem::temp_directory_path() /
            ("quorvane-" + tag + "-" + std::to_string(plat::CurrentProcessId()) + "-" + std::to_string(++counter));
    std::filesystem::remove_all(path_);
    std::filesystem::create_directories(path_);
  }
  ~ScratchDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  const std::filesystem::path& Path() const { return path_; }

 private:
  std::filesystem::path path_;
};

}  // namespace paktest
