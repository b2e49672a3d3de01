// Inputs served from memory through the pak layer or written to memory-backed scratch files.
#include "tests/fuzz/fuzz_support.h"

#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <memory>
#include <vector>

#include "framework/resources/PakInterface.h"
#include "platform/Crash.h"

// Programs that link the crash catcher install its fault handler before main; it would take
// the faults libFuzzer and the sanitizers must see (and report them as a crash report), so
// it is taken out before libFuzzer installs its own handlers.
extern "C" int LLVMFuzzerInitialize(int*, char***) {
  plat::SetUnhandledExceptionFilter(nullptr);
  return 0;
}

namespace {

void PutLe32(std::vector<std::uint8_t>& out, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

// One archive per served name, holding a single entry with room for `capacity` bytes. Each
// run copies the input in (scrambled) and sets the entry's size, so no run adds entries; a
// larger input makes a new archive twice its size.
struct MemoryFile {
  std::unique_ptr<std::vector<std::uint8_t>> archive;
  std::size_t dataOffset = 0;
  std::size_t capacity = 0;
  Orvo::PakEntry* entry = nullptr;
};

bool MakeRoom(const std::string& name, MemoryFile& file, std::size_t size) {
  if (file.entry != nullptr && size <= file.capacity) return true;
  static int archives = 0;
  MemoryFile grown;
  grown.capacity = std::max<std::size_t>(size * 2, 1 << 16);
  grown.archive = std::make_unique<std::vector<std::uint8_t>>();
  std::vector<std::uint8_t>& a = *grown.archive;
  PutLe32(a, Orvo::PAK_MAGIC);
  PutLe32(a, Orvo::PAK_VERSION);
  a.push_back(0);
  a.push_back(static_cast<std::uint8_t>(name.size()));
  a.insert(a.end(), name.begin(), name.end());
  PutLe32(a, static_cast<std::uint32_t>(grown.capacity));
  a.insert(a.end(), 8, 0);  // file time
  a.push_back(Orvo::PAK_FLAG_END_OF_TABLE);
  grown.dataOffset = a.size();
  a.resize(a.size() + grown.capacity);
  for (std::uint8_t& b : a) b ^= Orvo::PAK_KEY;
  Orvo::PakInterface* pak = Orvo::FindPakInterface();
  const std::string archiveName = "fuzz-memory-" + std::to_string(++archives) + ".pak";
  if (pak == nullptr || !pak->AddPakBuffer(archiveName, a.data(), a.size())) return false;
  auto it = pak->Entries().find(Orvo::PakInterface::NormalizePath(name.c_str()));
  if (it == pak->Entries().end()) return false;
  grown.entry = it->second;
  // The old archive stays alive: the layer still knows it, though its entry is replaced.
  static std::vector<std::unique_ptr<std::vector<std::uint8_t>>> retired;
  if (file.archive) retired.push_back(std::move(file.archive));
  file = std::move(grown);
  return true;
}

}  // namespace

std::string ServeFromMemory(const std::string& name, const std::uint8_t* data, std::size_t size) {
  static std::map<std::string, MemoryFile> files;
  MemoryFile& file = files[name];
  if (!MakeRoom(name, file, size)) __builtin_trap();
  std::uint8_t* out = file.archive->data() + file.dataOffset;
  for (std::size_t i = 0; i < size; ++i) out[i] = data[i] ^ Orvo::PAK_KEY;
  file.entry->size = static_cast<std::int32_t>(size);
  return name;
}

const std::string& ScratchFolder() {
  static const std::string folder = [] {
    std::error_code ignored;
    const std::filesystem::path base =
        std::filesystem::is_directory("/dev/shm", ignored) ? std::filesystem::path("/dev/shm")
                                                           : std::filesystem::temp_directory_path();
    const std::filesystem::path dir = base / ("quorvane-fuzz-" + std::to_string(getpid()));
    std::filesystem::create_directories(dir);
    // Removed when the process ends normally; a crash leaves it for the input's rerun.
    static struct Remover {
      std::filesystem::path dir;
      ~Remover() {
        std::error_code e;
        std::filesystem::remove_all(dir, e);
      }
    } remover{dir};
    return dir.string();
  }();
  return folder;
}

std::string WriteScratchFile(const std::string& name, const std::uint8_t* data, std::size_t size) {
  const std::string path = ScratchFolder() + "/" + name;
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr) __builtin_trap();
  if (size > 0 && std::fwrite(data, 1, size, f) != size) __builtin_trap();
  std::fclose(f);
  return path;
}

void CheckDecoded(ImageLib::Image* image) {
  if (image == nullptr) return;
  if (image->mWidth <= 0 || image->mHeight <= 0 || image->mBits == nullptr) __builtin_trap();
  volatile std::uint32_t sum = 0;
  std::size_t n = static_cast<std::size_t>(image->mWidth) * static_cast<std::size_t>(image->mHeight);
  for (std::size_t i = 0; i < n; ++i) sum = sum + image->mBits[i];
  delete image;
}
