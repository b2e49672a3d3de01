// Sound files into sound ids: the WAV, AU and Ogg readers with broken files refused cleanly,
// and the decoded-sound cache with its layout, reuse and staleness.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>

#include "framework/core/Common.h"
#include "framework/resources/PakInterface.h"
#include "framework/sound/BassMusicInterface.h"
#include "framework/sound/DSoundManager.h"
#include "platform/AudioDecode.h"
#include "platform/AudioMixer.h"
#include "tests/framework/resources/PakTestSupport.h"
#include "tests/framework/sound/SoundFixtures.h"

using namespace Orvo;
using soundtest::Bytes;
using soundtest::ScratchFolder;

namespace {

plat::HWND const kWindow = reinterpret_cast<plat::HWND>(static_cast<std::uintptr_t>(1));

struct Loaded {
  plat::WAVEFORMATEX format;
  std::vector<std::uint8_t> samples;
};

Loaded Read(DSoundManager& m, int id) {
  Loaded l;
  plat::IDirectSoundBuffer* b = m.GetSourceBuffer(id);
  if (b == nullptr) return l;
  b->GetFormat(&l.format, sizeof(l.format), nullptr);
  void* p;
  plat::DWORD n;
  if (b->Lock(0, m.GetSampleSize(id), &p, &n, nullptr, nullptr, 0) == plat::DS_OK) {
    l.samples.assign(static_cast<std::uint8_t*>(p), static_cast<std::uint8_t*>(p) + n);
    b->Unlock(p, n, nullptr, 0);
  }
  return l;
}

std::vector<std::uint8_t> Le16(std::initializer_list<int> values) {
  std::vector<std::uint8_t> out;
  for (int v : values) {
    out.push_back(static_cast<std::uint8_t>(v));
    out.push_back(static_cast<std::uint8_t>(static_cast<std::uint16_t>(v) >> 8));
  }
  return out;
}

class SoundFilesTest : public ::testing::Test {
 protected:
  void SetUp() override { plat::AudioMixer::Get().SetManualPull(true); }
  ScratchFolder folder{"sound_files"};
};

TEST_F(SoundFilesTest, ReadersAcceptGoodFilesAndRefuseBrokenOnesCleanly) {
  const std::vector<std::uint8_t> tone = Le16({100, -100, 200});
  auto fmtThenData = [&](int tag) {
    Bytes w = soundtest::WavHead();
    soundtest::Fmt(w, tag, 1, 11025, 16);
    return soundtest::Data(w, tone).b;
  };
  Bytes noFmt = soundtest::WavHead();
  soundtest::Data(noFmt, tone);
  Bytes scrambled = soundtest::WavHead();
  soundtest::Fmt(scrambled, 1, 1, 11025, 16).Tag("xor ").Le(1, 4).Le(0x6D, 1);
  std::vector<std::uint8_t> xored = tone;
  for (auto& b : xored) b ^= 0x6D;
  soundtest::Data(scrambled, xored);
  Bytes truncated = soundtest::WavHead();
  soundtest::Fmt(truncated, 1, 1, 11025, 16).Tag("data").Le(1000, 4).Raw(tone);
  Bytes noData = soundtest::WavHead();
  soundtest::Fmt(noData, 1, 1, 11025, 16);
  Bytes wraps = soundtest::WavHead();
  wraps.Tag("junk").Le(0xFFFFFFF0, 4).Raw(tone);
  Bytes backwards = soundtest::WavHead();
  backwards.Tag("junk").Le(0x7FFFFFFF, 4);
  Bytes stale = soundtest::WavHead();
  stale.Tag("dep ").Le(17, 4).Le(7, 2).Raw({'g', 'o', 'n', 'e', '.', 'a', 'u'}).Le(1, 4).Le(1, 4);
  soundtest::Data(stale, tone);
  Bytes padded = soundtest::WavHead();  // RIFF pads an odd chunk to an even length
  padded.Tag("LIST").Le(3, 4).Raw({1, 2, 3, 0});
  soundtest::Fmt(padded, 1, 1, 11025, 16);
  soundtest::Data(padded, tone);
  Bytes threeChannels = soundtest::WavHead();
  soundtest::Fmt(threeChannels, 1, 3, 11025, 16);
  soundtest::Data(threeChannels, Le16({1, 2, 3}));
  Bytes tiny = soundtest::WavHead();
  soundtest::Fmt(tiny, 1, 1, 11025, 16);
  soundtest::Data(tiny, Le16({1}));
  Bytes eightBitWav = soundtest::WavHead();
  soundtest::Fmt(eightBitWav, 1, 2, 8000, 8);
  soundtest::Data(eightBitWav, {0x80, 0x90, 0x70, 0x80});

  struct Case {
    const char* what;
    std::map<std::string, std::vector<std::uint8_t>> files;
    bool loads;
    int channels, rate, bits;
    std::vector<std::uint8_t> samples;
  };
  const std::vector<std::uint8_t> auData = {0xFF, 0x00, 0x81, 0x01};
  const std::vector<Case> cases = {
      {"pcm wav", {{".wav", fmtThenData(1)}}, true, 1, 11025, 16, tone},
      {"8-bit stereo wav", {{".wav", eightBitWav.b}}, true, 2, 8000, 8, {0x80, 0x90, 0x70, 0x80}},
      {"wav without fmt plays as 16-bit mono 22050", {{".wav", noFmt.b}}, true, 1, 22050, 16, tone},
      {"xor key is undone", {{".wav", scrambled.b}}, true, 1, 11025, 16, tone},
      {"odd chunk with its padding byte", {{".wav", padded.b}}, true, 1, 11025, 16, tone},
      {"three channels", {{".wav", threeChannels.b}}, false, 0, 0, 0, {}},
      {"fewer than 4 bytes of samples", {{".wav", tiny.b}}, false, 0, 0, 0, {}},
      {"float wav refused, au next", {{".wav", fmtThenData(3)}, {".au", soundtest::Au(2, {1, 2, 3, 4})}}, true, 1, 8000,
       8, {0x81, 0x82, 0x83, 0x84}},
      {"float wav alone", {{".wav", fmtThenData(3)}}, false, 0, 0, 0, {}},
      {"not riff", {{".wav", {'R', 'I', 'F', 'X', 0, 0, 0, 0, 'W', 'A', 'V', 'E'}}}, false, 0, 0, 0, {}},
      {"empty wav", {{".wav", {}}}, false, 0, 0, 0, {}},
      {"data shorter than declared", {{".wav", truncated.b}}, false, 0, 0, 0, {}},
      {"no data chunk", {{".wav", noData.b}}, false, 0, 0, 0, {}},
      {"chunk size past 32 bits", {{".wav", wraps.b}}, false, 0, 0, 0, {}},
      {"chunk pointing past the end", {{".wav", backwards.b}}, false, 0, 0, 0, {}},
      {"stale dep chunk", {{".wav", stale.b}}, false, 0, 0, 0, {}},
      {"au mu-law", {{".au", soundtest::Au(1, auData)}}, true, 1, 8000, 16, Le16({0, -1020, 30592, -30592})},
      {"au 8-bit linear is signed", {{".au", soundtest::Au(2, {0x00, 0x7F, 0x80, 0x01})}}, true, 1, 8000, 8,
       {0x80, 0xFF, 0x00, 0x81}},
      {"au encoding 3", {{".au", soundtest::Au(3, auData)}}, false, 0, 0, 0, {}},
      {"au size past the file", {{".au", soundtest::Au(1, auData, 0x40000000)}}, false, 0, 0, 0, {}},
      {"au three channels", {{".au", soundtest::Au(2, {1, 2, 3}, 3, 8000, 3)}}, false, 0, 0, 0, {}},
      {"au bad magic", {{".au", {'.', 's', 'n', 'x', 0, 0, 0, 24}}}, false, 0, 0, 0, {}},
      {"garbage ogg", {{".ogg", {'O', 'g', 'g', 'S', 0, 2, 0, 0, 1, 2, 3}}}, false, 0, 0, 0, {}},
      {"nothing there", {}, false, 0, 0, 0, {}},
  };
  DSoundManager manager(kWindow, false);
  int n = 0;
  for (const Case& c : cases) {
    std::string base = folder / ("case" + std::to_string(n++));
    for (const auto& [extension, bytes] : c.files) folder.Write(std::filesystem::path(base + extension).filename(), bytes);
    EXPECT_EQ(manager.LoadSoundAt(7, base), c.loads) << c.what;
    Loaded l = Read(manager, 7);
    if (c.files.size() == 1 && c.files.count(".wav") == 1) {
      // The music libraries read WAV files by the same rules.
      plat::DecodedSound decoded;
      EXPECT_EQ(plat::DecodeSoundFile(c.files.at(".wav"), decoded), c.loads) << c.what << ", music decoder";
      if (c.loads && decoded.block) {
        EXPECT_EQ(decoded.block->bytes, c.samples) << c.what << ", music decoder";
      }
    }
    if (!c.loads) {
      EXPECT_EQ(manager.GetSourceBuffer(7), nullptr) << c.what;
      continue;
    }
    EXPECT_EQ(l.format.nChannels, c.channels) << c.what;
    EXPECT_EQ(static_cast<int>(l.format.nSamplesPerSec), c.rate) << c.what;
    EXPECT_EQ(l.format.wBitsPerSample, c.bits) << c.what;
    EXPECT_EQ(l.samples, c.samples) << c.what;
  }
  EXPECT_EQ(manager.GetNumSounds(), 0);  // the last case failed and left nothing behind
}

class SoundCacheTest : public SoundFilesTest {
 protected:
  void SetUp() override {
    SoundFilesTest::SetUp();
    std::filesystem::create_directories(folder.path / "appdata");
    SetAppDataFolder((folder.path / "appdata").string());
    std::filesystem::current_path(folder.path);
  }
  void TearDown() override { std::filesystem::current_path(std::filesystem::temp_directory_path()); }
};

TEST_F(SoundCacheTest, DecodedSoundsAreCachedReusedAndRenewedWhenTheSourceChanges) {
  const std::vector<std::uint8_t> first = {0xFF, 0x00, 0x81};
  std::string source = folder.Write("snd/xy.au", soundtest::Au(1, first));
  DSoundManager manager(kWindow, false);
  ASSERT_TRUE(manager.LoadSoundAt(4, "snd/xy"));

  // The cache file: the table's layout with the 9-byte source name and no padding.
  std::string cache = folder / "appdata/snd/xy";
  std::vector<std::uint8_t> file = soundtest::ReadAll(cache);
  ASSERT_EQ(file.size(), 71u + 9 + 6);
  plat::FILETIME time;
  ASSERT_TRUE(DSoundManager::GetFileWriteTime("snd/xy.au", time));
  Bytes expected;
  expected.Tag("RIFF").Le(6 + 36, 4).Tag("WAVE");
  soundtest::Fmt(expected, 1, 1, 8000, 16).Tag("dep ").Le(19, 4).Le(9, 2);
  expected.Raw({'s', 'n', 'd', '/', 'x', 'y', '.', 'a', 'u'}).Le(time.dwLowDateTime, 4).Le(time.dwHighDateTime, 4);
  expected.Tag("xor ").Le(1, 4).Le(0x6D, 1).Tag("data").Le(6, 4);
  for (std::uint8_t b : Le16({0, -1020, 30592})) expected.b.push_back(b ^ 0x6D);
  EXPECT_EQ(file, expected.b);
  EXPECT_EQ(Read(manager, 4).samples, Le16({0, -1020, 30592}));  // the buffer keeps plain samples

  // New samples under the old time stamp: the cache answers and nothing is decoded.
  auto stamp = std::filesystem::last_write_time(source);
  folder.Write("snd/xy.au", soundtest::Au(1, {0x01, 0x01}));
  std::filesystem::last_write_time(source, stamp);
  ASSERT_TRUE(manager.LoadSoundAt(4, "snd/xy"));
  EXPECT_EQ(Read(manager, 4).samples, Le16({0, -1020, 30592}));

  // A touched source makes the cache stale: decoded and written again.
  std::filesystem::last_write_time(source, stamp + std::chrono::seconds(5));
  ASSERT_TRUE(manager.LoadSoundAt(4, "snd/xy"));
  EXPECT_EQ(Read(manager, 4).samples, Le16({-30592, -30592}));
  ASSERT_TRUE(manager.LoadSoundAt(4, "snd/xy"));
  EXPECT_EQ(soundtest::ReadAll(cache).size(), 71u + 9 + 4);

  // Absolute names are decoded every time and never cached.
  std::string absolute = folder.Write("abs/zz.au", soundtest::Au(2, {5, 5, 5, 5}));
  ASSERT_TRUE(manager.LoadSoundAt(5, absolute.substr(0, absolute.size() - 3)));
  int files = 0;
  for (auto& entry : std::filesystem::recursive_directory_iterator(folder.path / "appdata"))
    files += entry.is_regular_file() ? 1 : 0;
  EXPECT_EQ(files, 1);
}

TEST_F(SoundCacheTest, OggVorbisDecodesWholeAndIsReadFromTheCacheNextTime) {
  std::filesystem::create_directories(folder.path / "snd");
  std::filesystem::copy_file(std::filesystem::path(QUORVANE_TEST_DATA_DIR) / "tone440.ogg", folder.path / "snd/tone.ogg");
  DSoundManager manager(kWindow, false);
  ASSERT_TRUE(manager.LoadSoundAt(2, "snd/tone"));
  Loaded decoded = Read(manager, 2);
  EXPECT_EQ(decoded.format.nChannels, 1);
  EXPECT_EQ(decoded.format.nSamplesPerSec, 22050u);
  EXPECT_EQ(decoded.format.wBitsPerSample, 16);
  ASSERT_EQ(decoded.samples.size(), 4410u * 2);  // 0.2 s of a 440 Hz tone at 8000
  int peak = 0;
  for (std::size_t i = 0; i + 1 < decoded.samples.size(); i += 2)
    peak = std::max(peak, std::abs(static_cast<int>(static_cast<std::int16_t>(decoded.samples[i] | (decoded.samples[i + 1] << 8)))));
  EXPECT_GT(peak, 6000);
  EXPECT_LT(peak, 10000);

  // A broken source under the old time stamp: only the cache can give the samples now.
  auto stamp = std::filesystem::last_write_time(folder.path / "snd/tone.ogg");
  folder.Write("snd/tone.ogg", {'O', 'g', 'g', 'S'});
  std::filesystem::last_write_time(folder.path / "snd/tone.ogg", stamp);
  ASSERT_TRUE(manager.LoadSoundAt(2, "snd/tone"));
  EXPECT_EQ(Read(manager, 2).samples, decoded.samples);
}

TEST_F(SoundCacheTest, SoundsInsideAPakLoadAndTheirCacheStaysValid) {
  auto text = [](const std::vector<std::uint8_t>& b) { return std::string(b.begin(), b.end()); };
  std::string archive = (folder.path / "data.pak").string();
  paktest::WriteFile(archive, paktest::Scramble(paktest::PlainArchive(
                                  {{"snd\\pk.au", text(soundtest::Au(1, {0xFF, 0x81}))},
                                   {"music\\song.wav", text(soundtest::Wav16({500, 500, 500, 500}, 44100))}})));
  PakInterface* pak = FindPakInterface();  // the process's own
  ASSERT_NE(pak, nullptr);
  ASSERT_TRUE(pak->AddPakFile(archive));

  DSoundManager manager(kWindow, false);
  ASSERT_TRUE(manager.LoadSoundAt(1, "snd/pk"));
  EXPECT_EQ(Read(manager, 1).samples, Le16({0, 30592}));
  // Not a file on disk: the cache records the time 0, which stays true while no such file exists.
  std::vector<std::uint8_t> cache = soundtest::ReadAll(folder / "appdata/snd/pk");
  ASSERT_GE(cache.size(), 63u + 9);
  EXPECT_EQ(std::vector<std::uint8_t>(cache.begin() + 46 + 9, cache.begin() + 54 + 9), std::vector<std::uint8_t>(8, 0));
  EXPECT_TRUE(manager.LoadWAVFile(1, folder / "appdata/snd/pk"));

  // The music library reads the archive too, before the disk.
  BassMusicInterface music(nullptr);
  ASSERT_TRUE(music.LoadMusic(3, "music/song.wav"));
  music.PlayMusic(3, 0, true);
  EXPECT_TRUE(music.IsPlaying(3));
}

TEST_F(SoundCacheTest, AnUnwritableCacheLeavesNoTraceAndTheSoundStillLoads) {
  folder.Write("snd/q.au", soundtest::Au(2, {1, 2, 3, 4}));
  // A folder where the cache file should go: the cache cannot be written.
  std::filesystem::create_directories(folder.path / "appdata/snd/q");
  DSoundManager manager(kWindow, false);
  EXPECT_TRUE(manager.LoadSoundAt(1, "snd/q"));
  EXPECT_EQ(Read(manager, 1).samples, (std::vector<std::uint8_t>{0x81, 0x82, 0x83, 0x84}));
  EXPECT_FALSE(std::filesystem::exists(folder.path / "appdata/snd/q.tmp"));
}

}  // namespace
