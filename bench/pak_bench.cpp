// Reading every entry of the run folder's archives ("data.pak", and "main.pak" beside it)
// through the pak layer, against reading the same bytes from plain files with stdio, with
// memcpy of the same bytes as the memory-bandwidth ceiling.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "framework/resources/PakInterface.h"

namespace {

struct Corpus {
  std::vector<std::string> names;                // entry names as the program asks for them
  std::vector<std::filesystem::path> plainFiles;  // the same bytes as plain files
  std::vector<std::size_t> sizes;
  std::size_t totalBytes = 0;
  std::size_t largest = 0;
};

const Corpus& GetCorpus() {
  static const Corpus corpus = [] {
    Corpus c;
    Orvo::PakInterface* pak = Orvo::FindPakInterface();
    const std::filesystem::path run = QUORVANE_RUN_DIR;
    const std::filesystem::path plainRoot = std::filesystem::temp_directory_path() / "quorvane-pak-bench";
    std::filesystem::remove_all(plainRoot);
    for (const char* archive : {"data.pak", "main.pak"}) {
      const std::string archivePath = (run / archive).string();
      if (!pak->AddPakFile(archivePath)) continue;
      for (const auto& [key, entry] : pak->Entries()) {
        if (entry->name == archivePath || entry->name.find(".pak") != std::string::npos) continue;
        std::string name = entry->name;
        for (char& ch : name) ch = ch == '\\' ? '/' : ch;
        bool known = false;
        for (const std::string& n : c.names) known = known || n == name;
        if (known) continue;
        std::vector<char> bytes(static_cast<std::size_t>(entry->size));
        Orvo::PakHandle* h = Orvo::PakOpen(name.c_str(), "rb");
        if (h == nullptr) continue;
        const std::size_t n = Orvo::PakRead(bytes.data(), 1, bytes.size(), h);
        Orvo::PakClose(h);
        const std::filesystem::path plain = plainRoot / name;
        std::filesystem::create_directories(plain.parent_path());
        std::ofstream(plain, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(n));
        c.names.push_back(name);
        c.plainFiles.push_back(plain);
        c.sizes.push_back(n);
        c.totalBytes += n;
        c.largest = std::max(c.largest, n);
      }
    }
    return c;
  }();
  return corpus;
}

void BM_ReadEveryEntryThroughPakLayer(benchmark::State& state) {
  const Corpus& c = GetCorpus();
  std::vector<char> buffer(c.largest + 1);
  for (auto _ : state) {
    for (const std::string& name : c.names) {
      Orvo::PakHandle* h = Orvo::PakOpen(name.c_str(), "rb");
      benchmark::DoNotOptimize(Orvo::PakRead(buffer.data(), 1, buffer.size(), h));
      Orvo::PakClose(h);
    }
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * c.totalBytes));
  state.counters["entries"] = static_cast<double>(c.names.size());
}

void BM_ReadSameBytesFromPlainFiles(benchmark::State& state) {
  const Corpus& c = GetCorpus();
  std::vector<char> buffer(c.largest + 1);
  for (auto _ : state) {
    for (const std::filesystem::path& path : c.plainFiles) {
      std::FILE* f = std::fopen(path.c_str(), "rb");
      benchmark::DoNotOptimize(std::fread(buffer.data(), 1, buffer.size(), f));
      std::fclose(f);
    }
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * c.totalBytes));
  state.counters["entries"] = static_cast<double>(c.plainFiles.size());
}

void BM_MemcpySameBytes(benchmark::State& state) {
  const Corpus& c = GetCorpus();
  std::vector<char> source(c.totalBytes + 1, 'x');
  std::vector<char> target(c.totalBytes + 1);
  for (auto _ : state) {
    std::memcpy(target.data(), source.data(), c.totalBytes);
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * c.totalBytes));
}

}  // namespace

BENCHMARK(BM_ReadEveryEntryThroughPakLayer);
BENCHMARK(BM_ReadSameBytesFromPlainFiles);
BENCHMARK(BM_MemcpySameBytes);
BENCHMARK_MAIN();
