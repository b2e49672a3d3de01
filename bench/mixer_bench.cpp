// The software mixer against what a user would pick instead: SDL_MixAudioFormat adding each
// voice into the output, with memcpy of the output's bytes as the bandwidth ceiling. Every
// row mixes 1024 stereo frames of N 16-bit stereo voices at the output rate and full volume
// (our mixer also applies each voice's left and right gains and the master level).
// The resampling rows mix N 22050 Hz mono voices up-sampled to 44100 Hz plus two streaming
// songs (44100 Hz stereo WAV files decoded as they play): ours with its windowed-sinc filter,
// SDL's with one SDL_AudioStream per voice converting before SDL_MixAudioFormat adds it.
// The Bass rows mix N channels of the "bass.dll" stand-in, each keeping its latest frames for
// BASS_ChannelGetData and watched by an end and a position sync, beside OurMixer's bare voices.
#include <SDL.h>
#include <benchmark/benchmark.h>

#include <cstring>
#include <memory>
#include <vector>

#include "platform/AudioDecode.h"
#include "platform/AudioMixer.h"
#include "platform/BassDll.h"
#include "platform/Module.h"

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

// `count` looping voices of one block, playing at `frequency` and `gain`.
std::vector<std::shared_ptr<plat::Voice>> PlayingVoices(std::shared_ptr<plat::SampleBlock> block, int count,
                                                        std::uint32_t frequency, float gain) {
  plat::AudioMixer& mixer = plat::AudioMixer::Get();
  std::vector<std::shared_ptr<plat::Voice>> voices;
  for (int i = 0; i < count; ++i) {
    auto v = mixer.AddVoice(block);
    std::lock_guard<std::recursive_mutex> lock(mixer.Lock());
    v->frequency = frequency;
    v->looping = true;
    v->gainLeft = v->gainRight = gain;
    v->playing = true;
    voices.push_back(v);
  }
  return voices;
}

void OurMixer(benchmark::State& state) {
  plat::AudioMixer& mixer = plat::AudioMixer::Get();
  mixer.SetManualPull(true);
  std::vector<std::shared_ptr<plat::Voice>> voices = PlayingVoices(Block(), static_cast<int>(state.range(0)), 44100, 0.5f);
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

// A mono 16-bit block at 22050 Hz, and a stereo WAV file at 44100 Hz, of noise-like samples.
std::shared_ptr<plat::SampleBlock> SlowBlock() {
  auto block = std::make_shared<plat::SampleBlock>();
  block->channels = 1;
  block->bitsPerSample = 16;
  block->bytes.resize(22050 * 2);
  for (std::size_t i = 0; i < block->bytes.size(); ++i) block->bytes[i] = static_cast<std::uint8_t>(i * 37);
  return block;
}

std::vector<std::uint8_t> SongWav() {
  const std::uint32_t frames = 10 * 44100;
  std::vector<std::uint8_t> w = {'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V', 'E', 'f', 'm', 't', ' ', 16, 0, 0, 0,
                                 1, 0, 2, 0, 0x44, 0xAC, 0, 0, 0x10, 0xB1, 0x02, 0, 4, 0, 16, 0, 'd', 'a', 't', 'a'};
  const std::uint32_t bytes = frames * 4;
  for (int i = 0; i < 4; ++i) w.push_back(static_cast<std::uint8_t>(bytes >> (8 * i)));
  for (std::uint32_t i = 0; i < bytes; ++i) w.push_back(static_cast<std::uint8_t>(i * 29));
  return w;
}

void OurMixerResamplingWithTwoStreams(benchmark::State& state) {
  plat::AudioMixer& mixer = plat::AudioMixer::Get();
  mixer.SetManualPull(true);
  std::vector<std::shared_ptr<plat::Voice>> voices = PlayingVoices(SlowBlock(), static_cast<int>(state.range(0)), 22050, 0.1f);
  static const std::vector<std::uint8_t> song = SongWav();
  for (int i = 0; i < 2; ++i) {
    auto stream = std::make_shared<plat::Stream>(plat::OpenStreamSource(plat::MemorySoundFile(song.data(), song.size())));
    auto v = mixer.AddStreamVoice(stream);
    std::lock_guard<std::recursive_mutex> lock(mixer.Lock());
    v->looping = true;
    v->gainLeft = v->gainRight = 0.3f;
    v->playing = true;
    voices.push_back(v);
  }
  std::vector<std::int16_t> out(kFrames * 2);
  for (auto _ : state) {
    mixer.Mix(out.data(), kFrames);
    benchmark::DoNotOptimize(out.data());
  }
  for (auto& v : voices) mixer.RemoveVoice(v);
  state.SetItemsProcessed(state.iterations() * kFrames * (state.range(0) + 2));
}

void SDLAudioStreamResamplingWithTwoStreams(benchmark::State& state) {
  auto block = SlowBlock();
  static const std::vector<std::uint8_t> song = SongWav();
  std::vector<SDL_AudioStream*> streams;
  for (int i = 0; i < state.range(0); ++i)
    streams.push_back(SDL_NewAudioStream(AUDIO_S16LSB, 1, 22050, AUDIO_S16LSB, 2, 44100));
  std::vector<std::int16_t> out(kFrames * 2), converted(kFrames * 2);
  const std::size_t inBytes = kFrames;  // 512 mono frames at half the rate
  std::size_t inAt = 0, songAt = 44;
  for (auto _ : state) {
    std::memset(out.data(), 0, out.size() * 2);
    for (SDL_AudioStream* s : streams) {
      SDL_AudioStreamPut(s, block->bytes.data() + inAt, static_cast<int>(inBytes));
      int got = SDL_AudioStreamGet(s, converted.data(), kFrames * 4);
      if (got > 0) SDL_MixAudioFormat(reinterpret_cast<Uint8*>(out.data()), reinterpret_cast<Uint8*>(converted.data()),
                                      AUDIO_S16LSB, static_cast<Uint32>(got), SDL_MIX_MAXVOLUME / 10);
    }
    for (int i = 0; i < 2; ++i)  // the two songs: already at the output's format
      SDL_MixAudioFormat(reinterpret_cast<Uint8*>(out.data()), song.data() + songAt, AUDIO_S16LSB, kFrames * 4,
                         SDL_MIX_MAXVOLUME / 3);
    inAt = (inAt + inBytes) % (block->bytes.size() - inBytes);
    songAt = 44 + (songAt - 44 + kFrames * 4) % (song.size() - 44 - kFrames * 4);
    benchmark::DoNotOptimize(out.data());
  }
  for (SDL_AudioStream* s : streams) SDL_FreeAudioStream(s);
  state.SetItemsProcessed(state.iterations() * kFrames * (state.range(0) + 2));
}

}  // namespace

// A one-second 44100 Hz stereo WAV of the bench block's bytes.
std::vector<std::uint8_t> BlockWav() {
  std::vector<std::uint8_t> w;
  auto put = [&](std::uint32_t v, int n) {
    for (int i = 0; i < n; ++i) w.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
  };
  auto tag = [&](const char* t) { w.insert(w.end(), t, t + 4); };
  const std::shared_ptr<plat::SampleBlock> block = Block();
  const std::vector<std::uint8_t>& samples = block->bytes;
  tag("RIFF");
  put(static_cast<std::uint32_t>(36 + samples.size()), 4);
  tag("WAVE");
  tag("fmt ");
  put(16, 4);
  put(1, 2);
  put(2, 2);
  put(44100, 4);
  put(176400, 4);
  put(4, 2);
  put(16, 2);
  tag("data");
  put(static_cast<std::uint32_t>(samples.size()), 4);
  w.insert(w.end(), samples.begin(), samples.end());
  return w;
}

void CountCall(plat::HSYNC, plat::DWORD, plat::DWORD, void* user) { ++*static_cast<int*>(user); }

void BassChannelsWithSyncs(benchmark::State& state) {
  using namespace plat;
  AudioMixer& mixer = AudioMixer::Get();
  mixer.SetManualPull(true);
  HMODULE bass = LoadLibrary("bass.dll");
  auto create = ProcAs<BASS_StreamCreateFile_Fn>(GetProcAddress(bass, "BASS_StreamCreateFile"));
  auto play = ProcAs<BASS_ChannelPlay_Fn>(GetProcAddress(bass, "BASS_ChannelPlay"));
  auto setSync = ProcAs<BASS_ChannelSetSync_Fn>(GetProcAddress(bass, "BASS_ChannelSetSync"));
  auto release = ProcAs<BASS_StreamFree_Fn>(GetProcAddress(bass, "BASS_StreamFree"));
  const std::vector<std::uint8_t> file = BlockWav();
  std::vector<DWORD> channels;
  int calls = 0;
  for (int i = 0; i < state.range(0); ++i) {
    DWORD h = create(TRUE, file.data(), 0, file.size(), BASS_SAMPLE_LOOP);
    setSync(h, BASS_SYNC_END, 0, &CountCall, &calls);
    setSync(h, BASS_SYNC_POS, 4 * 22050, &CountCall, &calls);
    play(h, TRUE);
    channels.push_back(h);
  }
  std::vector<std::int16_t> out(kFrames * 2);
  for (auto _ : state) {
    mixer.Mix(out.data(), kFrames);
    benchmark::DoNotOptimize(out.data());
  }
  for (DWORD h : channels) release(h);
  FreeLibrary(bass);
  benchmark::DoNotOptimize(calls);
  state.SetItemsProcessed(state.iterations() * kFrames * state.range(0));
}

BENCHMARK(BassChannelsWithSyncs)->Arg(1)->Arg(8)->Arg(32);
BENCHMARK(OurMixerResamplingWithTwoStreams)->Arg(32);
BENCHMARK(SDLAudioStreamResamplingWithTwoStreams)->Arg(32);
BENCHMARK(OurMixer)->Arg(1)->Arg(8)->Arg(32);
BENCHMARK(SDLMixAudioFormat)->Arg(1)->Arg(8)->Arg(32);
BENCHMARK(MemcpyCeiling)->Arg(1)->Arg(8)->Arg(32);
BENCHMARK_MAIN();
