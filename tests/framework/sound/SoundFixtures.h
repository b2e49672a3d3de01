// Small sound files made by the tests: WAV files chunk by chunk, AU files, and a scratch
// folder that goes away with the test.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <future>
#include <memory>
#include <mutex>
#include <random>
#include <string>
#include <vector>

#include "platform/AudioDecode.h"

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

// A looped square wave of 64 signed 8-bit samples, 16 to a period.
inline std::vector<std::uint8_t> SquareWave() {
  std::vector<std::uint8_t> wave(64);
  for (std::size_t i = 0; i < wave.size(); ++i) wave[i] = static_cast<std::uint8_t>((i / 8) % 2 == 0 ? 100 : -100);
  return wave;
}

// Tracker modules whose order i plays a single row: the square wave on the first channel at
// volume volumes[i] (0..64). A row lasts 6 ticks at 125 BPM: 5292 frames at 44100 Hz.
constexpr int kRowFrames = 5292;

// A 4-channel ProTracker module ("M.K."); each row also breaks to the next order.
inline std::vector<std::uint8_t> Mod(const std::vector<int>& volumes) {
  Bytes m;
  m.b.resize(20, 0);  // title
  for (int s = 0; s < 31; ++s) {
    m.b.resize(m.b.size() + 22, 0);  // sample name
    auto be16 = [&](std::uint32_t v) {
      m.b.push_back(static_cast<std::uint8_t>(v >> 8));
      m.b.push_back(static_cast<std::uint8_t>(v));
    };
    be16(s == 0 ? 32 : 0);  // length in words
    m.b.push_back(0);       // finetune
    m.b.push_back(s == 0 ? 64 : 0);
    be16(0);                // loop start
    be16(s == 0 ? 32 : 1);  // loop length
  }
  m.b.push_back(static_cast<std::uint8_t>(volumes.size()));
  m.b.push_back(127);
  for (int i = 0; i < 128; ++i) m.b.push_back(static_cast<std::uint8_t>(i < static_cast<int>(volumes.size()) ? i : 0));
  m.Tag("M.K.");
  for (int volume : volumes) {
    std::vector<std::uint8_t> pattern(64 * 4 * 4, 0);
    const int period = 428;
    pattern[0] = static_cast<std::uint8_t>(period >> 8);  // sample 1: high nibble 0
    pattern[1] = static_cast<std::uint8_t>(period & 0xFF);
    pattern[2] = 0x1C;  // sample 1 low nibble, effect C (volume)
    pattern[3] = static_cast<std::uint8_t>(volume);
    pattern[6] = 0x0D;  // channel 2: effect D (pattern break)
    m.Raw(pattern);
  }
  return m.Raw(SquareWave()).b;
}

// A 2-channel FastTracker 2 module with one-row patterns.
inline std::vector<std::uint8_t> Xm(const std::vector<int>& volumes) {
  const std::string id = "Extended Module: ";
  Bytes x{std::vector<std::uint8_t>(id.begin(), id.end())};
  x.b.resize(x.b.size() + 20, 'x');  // name
  x.b.push_back(0x1A);
  x.b.resize(x.b.size() + 20, ' ');  // tracker
  x.Le(0x0104, 2).Le(276, 4);
  const auto n = static_cast<std::uint32_t>(volumes.size());
  x.Le(n, 2).Le(0, 2).Le(2, 2).Le(n, 2).Le(1, 2).Le(1, 2).Le(6, 2).Le(125, 2);
  for (std::uint32_t i = 0; i < 256; ++i) x.b.push_back(static_cast<std::uint8_t>(i < n ? i : 0));
  for (int volume : volumes) {
    // Channel 1: C-4, instrument 1, volume column; channel 2: nothing.
    std::vector<std::uint8_t> row = {49, 1, static_cast<std::uint8_t>(0x10 + volume), 0, 0, 0x80};
    x.Le(9, 4).Le(0, 1).Le(1, 2).Le(static_cast<std::uint32_t>(row.size()), 2).Raw(row);
  }
  const std::size_t instrument = x.b.size();
  x.Le(263, 4);
  x.b.resize(x.b.size() + 22, 0);  // name
  x.Le(0, 1).Le(1, 2).Le(40, 4);
  x.b.resize(instrument + 263, 0);  // key map, envelopes (off), vibrato, fade-out
  std::vector<std::uint8_t> wave = SquareWave();
  x.Le(64, 4).Le(0, 4).Le(64, 4).Le(64, 1).Le(0, 1).Le(1, 1).Le(128, 1).Le(0, 1).Le(0, 1);
  x.b.resize(x.b.size() + 22, 0);  // sample name
  std::uint8_t previous = 0;
  for (std::uint8_t s : wave) {  // stored as differences
    x.b.push_back(static_cast<std::uint8_t>(s - previous));
    previous = s;
  }
  return x.b;
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

// A file whose reads wait while its gate is shut, telling when one has begun.
struct Gate {
  std::mutex m;
  std::condition_variable cv;
  bool open = true, waiting = false;
  void Pass() {
    std::unique_lock<std::mutex> lock(m);
    waiting = true;
    cv.notify_all();
    cv.wait_for(lock, std::chrono::seconds(20), [&] { return open; });
    waiting = false;
  }
  bool AwaitWaiter() {
    std::unique_lock<std::mutex> lock(m);
    return cv.wait_for(lock, std::chrono::seconds(20), [&] { return waiting; });
  }
  void Set(bool value) {
    std::lock_guard<std::mutex> lock(m);
    open = value;
    cv.notify_all();
  }
};

class GatedFile : public plat::SoundFile {
 public:
  GatedFile(const std::vector<std::uint8_t>& bytes, Gate& gate) : mInner(plat::MemorySoundFile(bytes.data(), bytes.size())), mGate(gate) {}
  std::size_t Read(void* buffer, std::size_t bytes) override {
    mGate.Pass();
    return mInner->Read(buffer, bytes);
  }
  bool Seek(std::int64_t offset, int origin) override { return mInner->Seek(offset, origin); }
  std::int64_t Tell() override { return mInner->Tell(); }

 private:
  std::unique_ptr<plat::SoundFile> mInner;
  Gate& mGate;
};

// True when `call` returns on another thread while the gate holds a file read.
template <typename Fn>
bool ReturnsWhileReading(Fn call) {
  return std::async(std::launch::async, call).wait_for(std::chrono::seconds(10)) == std::future_status::ready;
}

inline std::vector<std::uint8_t> ReadAll(const std::string& file) {
  std::ifstream in(file, std::ios::binary);
  return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), {});
}

}  // namespace soundtest
