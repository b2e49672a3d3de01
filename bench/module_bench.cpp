// One minute of a tracker module rendered through our path (the module stream decoded into
// the mixer's ring, then mixed to the output) beside libxmp's own render call into a buffer,
// which is what a program using the library directly would do: the difference is our overhead.
#include <benchmark/benchmark.h>
#include <xmp.h>

#include <memory>
#include <vector>

#include "platform/AudioDecode.h"
#include "platform/AudioMixer.h"
#include "tests/framework/sound/SoundFixtures.h"

namespace {

constexpr int kFrames = 1024;
constexpr int kMinute = 60 * plat::AudioMixer::kOutputRate;

// Sixteen one-row orders of the square-wave module, looped.
std::vector<std::uint8_t> Song() {
  std::vector<int> volumes;
  for (int i = 0; i < 16; ++i) volumes.push_back(16 + 3 * i);
  return soundtest::Mod(volumes);
}

void OurModuleMinute(benchmark::State& state) {
  plat::AudioMixer& mixer = plat::AudioMixer::Get();
  mixer.SetManualPull(true);
  const std::vector<std::uint8_t> song = Song();
  std::vector<std::int16_t> out(kFrames * 2);
  for (auto _ : state) {
    auto stream = std::make_shared<plat::Stream>(plat::OpenModuleSource(song.data(), song.size()));
    auto voice = mixer.AddStreamVoice(stream);
    {
      std::lock_guard<std::recursive_mutex> lock(mixer.Lock());
      voice->looping = true;
      voice->playing = true;
    }
    for (int done = 0; done < kMinute; done += kFrames) mixer.Mix(out.data(), kFrames);
    benchmark::DoNotOptimize(out.data());
    mixer.RemoveVoice(voice);
  }
  state.SetItemsProcessed(state.iterations() * kMinute);
}

void LibxmpPlayBufferMinute(benchmark::State& state) {
  const std::vector<std::uint8_t> song = Song();
  std::vector<std::int16_t> out(kFrames * 2);
  for (auto _ : state) {
    xmp_context c = xmp_create_context();
    xmp_load_module_from_memory(c, song.data(), static_cast<long>(song.size()));
    xmp_start_player(c, plat::AudioMixer::kOutputRate, 0);
    xmp_set_player(c, XMP_PLAYER_INTERP, XMP_INTERP_SPLINE);
    for (int done = 0; done < kMinute; done += kFrames) xmp_play_buffer(c, out.data(), kFrames * 4, 0);
    benchmark::DoNotOptimize(out.data());
    xmp_end_player(c);
    xmp_release_module(c);
    xmp_free_context(c);
  }
  state.SetItemsProcessed(state.iterations() * kMinute);
}

}  // namespace

BENCHMARK(OurModuleMinute)->Unit(benchmark::kMillisecond);
BENCHMARK(LibxmpPlayBufferMinute)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
