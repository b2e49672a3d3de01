// Small sound files made by the tests: WAV files chunk by chunk, AU files, and a scratch
// folder that goes away with the test.
#pragma once

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

namespace soundtest {

struct Bytes {
  std::vector<std::uint8_t> b;
  Bytes& Le(std::uint32_t v, int n) {
    for (int i = 0; i < n; ++i) b.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
    return *this;
  }
  Bytes& Be(std::uint32_t v) {
    for (int i = 3; i >= 0; --i) b.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
    return *this;
  }
  Bytes& Tag(const char* t) {
    for (int i = 0; i < 4; ++i) b.push_back(static_cast<std::uint8_t>(t[i]));
    return *this;
  }
  Bytes& Raw(const std::vector<std::uint8_t>& r) {
    b.insert(b.end(), r.begin(), r.end());
    return *this;
  }
};

inline Bytes WavHead() { return std::move(Bytes().Tag("RIFF").Le(0, 4).Tag("WAVE")); }
inline Bytes& Fmt(Bytes& w, int tag, int channels, int rate, int bits) {
  return w.Tag("fmt ").Le(16, 4).Le(static_cast<std::uint32_t>(tag), 2).Le(static_cast<std::uint32_t>(channels), 2)
      .Le(static_cast<std::uint32_t>(rate), 4).Le(static_cast<std::uint32_t>(rate * channels * bits / 8), 4)
      .Le(static_cast<std::uint32_t>(channels * bits / 8), 2).Le(static_cast<std::uint32_t>(bits), 2);
}
inline Bytes& Data(Bytes& w, const std::vector<std::uint8_t>& samples) {
  return w.Tag("data").Le(static_cast<std::uint32_t>(samples.size()), 4).Raw(samples);
}
// A 16-bit mono WAV at `rate` holding `samples`.
inline std::vector<std::uint8_t> Wav16(const std::vector<std::int16_t>& samples, int rate = 22050) {
  Bytes w = WavHead();
  Fmt(w, 1, 1, rate, 16);
  std::vector<std::uint8_t> raw;
  for (auto s : samples) {
    raw.push_back(static_cast<std::uint8_t>(s));
    raw.push_back(static_cast<std::uint8_t>(static_cast<std::uint16_t>(s) >> 8));
  }
  return Data(w, raw).b;
}

inline std::vector<std::uint8_t> Au(std::uint32_t encoding, const std::vector<std::uint8_t>& data,
                                    std::uint32_t declaredSize = 0xFFFFFFFF, int rate = 8000, int channels = 1) {
  Bytes a;
  a.Tag(".snd").Be(24).Be(declaredSize == 0xFFFFFFFF ? static_cast<std::uint32_t>(data.size()) : declaredSize);
  a.Be(encoding).Be(static_cast<std::uint32_t>(rate)).Be(static_cast<std::uint32_t>(channels));
  return a.Raw(data).b;
}

struct ScratchFolder {
  explicit ScratchFolder(const std::string& name)
      : path(std::filesystem::temp_directory_path() / (name + "_" + std::to_string(std::random_device{}()))) {
    std::filesystem::create_directories(path);
  }
  ~ScratchFolder() {
    std::error_code ec;
    std::filesystem::remove_all(path, ec);
  }
  std::string Write(const std::string& relative, const std::vector<std::uint8_t>& bytes) const {
    auto file = path / relative;
    std::filesystem::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                static_cast<std::streamsize>(bytes.size()));
    return file.string();
  }
  std::string operator/(const std::string& relative) const { return (path / relative).string(); }
  std::filesystem::path path;
};

inline std::vector<std::uint8_t> ReadAll(const std::string& file) {
  std::ifstream in(file, std::ios::binary);
  return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), {});
}

}  // namespace soundtest
