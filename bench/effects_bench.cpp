// Channel effects per 1024 stereo frames at 44100 Hz: each type alone, all nine in one chain,
// and one voice mixed with and without an echo (what the effect costs inside the mixer).
// SDL has no effects to compare with; copying the frames (memcpy) is the floor.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

#include "platform/AudioEffects.h"
#include "platform/AudioMixer.h"
#include "platform/BassDll.h"

namespace {

constexpr int kFrames = 1024;
constexpr int kRate = 44100;

std::vector<float> Music() {
  std::vector<float> f(kFrames * 2);
  for (int i = 0; i < kFrames; ++i) {
    f[2 * i] = static_cast<float>(12000 * std::sin(i * 0.063) + 3000 * std::sin(i * 0.71));
    f[2 * i + 1] = static_cast<float>(12000 * std::sin(i * 0.051) + 3000 * std::sin(i * 0.93));
  }
  return f;
}

const char* const kNames[] = {"chorus", "compressor", "distortion", "echo", "flanger",
                              "gargle", "i3dl2_reverb", "param_eq", "waves_reverb"};

void OneEffect(benchmark::State& state) {
  const auto type = static_cast<std::uint32_t>(state.range(0));
  state.SetLabel(kNames[type]);
  std::unique_ptr<plat::AudioEffect> effect = plat::MakeAudioEffect(type, kRate);
  const std::vector<float> music = Music();
  std::vector<float> frames(music.size());
  for (auto _ : state) {
    std::memcpy(frames.data(), music.data(), music.size() * sizeof(float));
    effect->Process(frames.data(), kFrames);
    benchmark::DoNotOptimize(frames.data());
  }
  state.SetItemsProcessed(state.iterations() * kFrames);
}
BENCHMARK(OneEffect)->DenseRange(0, 8);

void AllNineInAChain(benchmark::State& state) {
  plat::EffectChain chain;
  for (std::uint32_t type = 0; type < 9; ++type) chain.Insert(type + 1, 0, plat::MakeAudioEffect(type, kRate));
  const std::vector<float> music = Music();
  std::vector<float> frames(music.size());
  for (auto _ : state) {
    std::memcpy(frames.data(), music.data(), music.size() * sizeof(float));
    chain.Process(frames.data(), kFrames);
    benchmark::DoNotOptimize(frames.data());
  }
  state.SetItemsProcessed(state.iterations() * kFrames);
}
BENCHMARK(AllNineInAChain);

void CopyOnly(benchmark::State& state) {
  const std::vector<float> music = Music();
  std::vector<float> frames(music.size());
  for (auto _ : state) {
    std::memcpy(frames.data(), music.data(), music.size() * sizeof(float));
    benchmark::DoNotOptimize(frames.data());
  }
  state.SetItemsProcessed(state.iterations() * kFrames);
}
BENCHMARK(CopyOnly);

// One looping 44100 Hz stereo voice through the mixer, bare (0) or with an echo (1).
void MixOneVoice(benchmark::State& state) {
  plat::AudioMixer& mixer = plat::AudioMixer::Get();
  mixer.SetManualPull(true);
  auto block = std::make_shared<plat::SampleBlock>();
  block->channels = 2;
  block->bytes.resize(kRate * 4);
  for (std::size_t i = 0; i < block->bytes.size(); ++i) block->bytes[i] = static_cast<std::uint8_t>(i * 31);
  auto voice = mixer.AddVoice(block);
  {
    std::lock_guard<std::recursive_mutex> lock(mixer.Lock());
    voice->frequency = kRate;
    voice->looping = true;
    voice->playing = true;
    voice->gainLeft = voice->gainRight = 0.5f;
    if (state.range(0) == 1) voice->effects.Insert(1, 0, plat::MakeAudioEffect(plat::kBassFxEcho, kRate));
  }
  state.SetLabel(state.range(0) == 1 ? "echo" : "dry");
  std::vector<std::int16_t> out(kFrames * 2);
  for (auto _ : state) {
    mixer.Mix(out.data(), kFrames);
    benchmark::DoNotOptimize(out.data());
  }
  mixer.RemoveVoice(voice);
  state.SetItemsProcessed(state.iterations() * kFrames);
}
BENCHMARK(MixOneVoice)->Arg(0)->Arg(1);

}  // namespace

BENCHMARK_MAIN();
