// The software mixer against what a user would pick instead: SDL_MixAudioFormat adding each
// voice into the output, with memcpy of the output's bytes as the bandwidth ceiling. Every
// row mixes 1024 stereo frames of N 16-bit stereo voices at the output rate and full volume
// (our mixer also applies each voice's left and right gains and the master level).
#include <SDL.h>
#include <benchmark/benchmark.h>

#include <cstring>
#include <memory>
#include <vector>

#include "platform/AudioMixer.h"

namespace {

constexpr int kFrames = 1024;

std::shared_ptr<plat::SampleBlock> Block() {
  auto block = std::make_shared<plat::SampleBlock>();
  block->channels = 2;
  block->bitsPerSample = 16;
  block->bytes.resize(44100 * 4);
  for (std::size_t i = 0; i < block->bytes.size(); ++i) block->bytes[i] = static_cast<std::uint8_t>(i * 31);
  return block;
}

void OurMixer(benchmark::State& state) {
  plat::AudioMixer& mixer = plat::AudioMixer::Get();
  mixer.SetManualPull(true);
  auto block = Block();
  std::vector<std::shared_ptr<plat::Voice>> voices;
  for (int i = 0; i < state.range(0); ++i) {
    auto v = mixer.AddVoice(block);
    v->frequency = 44100;
    v->looping = true;
    v->gainLeft = v->gainRight = 0.5f;
    v->playing = true;
    voices.push_back(v);
  }
  std::vector<std::int16_t> out(kFrames * 2);
  for (auto _ : state) {
    mixer.Mix(out.data(), kFrames);
    benchmark::DoNotOptimize(out.data());
  }
  for (auto& v : voices) mixer.RemoveVoice(v);
  state.SetItemsProcessed(state.iterations() * kFrames * state.range(0));
}

void SDLMixAudioFormat(benchmark::State& state) {
  auto block = Block();
  std::vector<std::int16_t> out(kFrames * 2);
  std::size_t offset = 0;
  const std::size_t bytes = kFrames * 4;
  for (auto _ : state) {
    std::memset(out.data(), 0, bytes);
    for (int i = 0; i < state.range(0); ++i)
      SDL_MixAudioFormat(reinterpret_cast<Uint8*>(out.data()), block->bytes.data() + offset, AUDIO_S16LSB,
                         static_cast<Uint32>(bytes), SDL_MIX_MAXVOLUME / 2);
    offset = (offset + bytes) % (block->bytes.size() - bytes);
    benchmark::DoNotOptimize(out.data());
  }
  state.SetItemsProcessed(state.iterations() * kFrames * state.range(0));
}

void MemcpyCeiling(benchmark::State& state) {
  auto block = Block();
  std::vector<std::int16_t> out(kFrames * 2);
  for (auto _ : state) {
    for (int i = 0; i < state.range(0); ++i) std::memcpy(out.data(), block->bytes.data() + i * 4, kFrames * 4);
    benchmark::DoNotOptimize(out.data());
  }
  state.SetItemsProcessed(state.iterations() * kFrames * state.range(0));
}

}  // namespace

BENCHMARK(OurMixer)->Arg(1)->Arg(8)->Arg(32);
BENCHMARK(SDLMixAudioFormat)->Arg(1)->Arg(8)->Arg(32);
BENCHMARK(MemcpyCeiling)->Arg(1)->Arg(8)->Arg(32);
BENCHMARK_MAIN();
