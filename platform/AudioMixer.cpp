// The software mixer and its output: the SDL audio device, or a pacing thread when there is
// no device, or nothing at all when a test pulls the samples itself.
#include "platform/AudioMixer.h"

#include <SDL2/SDL.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>

namespace plat {

struct AudioMixer::Output {
  SDL_AudioDeviceID device = 0;
  std::thread pacer;
  std::atomic<bool> stopPacer{false};
};

AudioMixer& AudioMixer::Get() {
  // Never destroyed: the audio thread may still call in while the process ends.
  static AudioMixer* mixer = new AudioMixer();
  return *mixer;
}

AudioMixer::~AudioMixer() { StopOutput(); }

namespace {

void SDLCALL AudioCallback(void* userdata, Uint8* stream, int len) {
  static_cast<AudioMixer*>(userdata)->Mix(reinterpret_cast<std::int16_t*>(stream), len / 4);
}

}  // namespace

void AudioMixer::Start() {
  // The device's callback runs with SDL's device lock held and then takes the mixer lock,
  // so the device is opened and unpaused without the mixer lock: the other order could
  // deadlock. Starting and stopping are kept apart by their own lock.
  std::lock_guard<std::mutex> outputLock(mOutputMutex);
  {
    std::lock_guard<std::recursive_mutex> lock(mMutex);
    if (mManual || mOutput) return;
  }
  auto output = std::make_unique<Output>();
  if (SDL_InitSubSystem(SDL_INIT_AUDIO) == 0) {
    SDL_AudioSpec want{};
    want.freq = kOutputRate;
    want.format = AUDIO_S16LSB;
    want.channels = 2;
    want.samples = 1024;
    want.callback = AudioCallback;
    want.userdata = this;
    output->device = SDL_OpenAudioDevice(nullptr, 0, &want, nullptr, 0);
  }
  Output* started = output.get();
  {
    std::lock_guard<std::recursive_mutex> lock(mMutex);
    mOutput = std::move(output);
  }
  if (started->device != 0) {
    SDL_PauseAudioDevice(started->device, 0);
    return;
  }
  // No device: consume the mix at real-time speed so that sounds end as they would.
  started->pacer = std::thread([this, started] {
    std::vector<std::int16_t> scratch(2 * kOutputRate / 100);
    auto next = std::chrono::steady_clock::now();
    while (!started->stopPacer.load()) {
      Mix(scratch.data(), kOutputRate / 100);
      next += std::chrono::milliseconds(10);
      std::this_thread::sleep_until(next);
    }
  });
}

void AudioMixer::StopOutput() {
  std::lock_guard<std::mutex> outputLock(mOutputMutex);
  std::unique_ptr<Output> output;
  {
    std::lock_guard<std::recursive_mutex> lock(mMutex);
    output = std::move(mOutput);
  }
  if (!output) return;
  // Closing the device waits for its callback, which takes the lock: do it unlocked.
  if (output->device != 0) SDL_CloseAudioDevice(output->device);
  output->stopPacer = true;
  if (output->pacer.joinable()) output->pacer.join();
}

void AudioMixer::SetManualPull(bool manual) {
  if (manual) StopOutput();
  std::lock_guard<std::recursive_mutex> lock(mMutex);
  mManual = manual;
}

std::shared_ptr<Voice> AudioMixer::AddVoice(std::shared_ptr<SampleBlock> block) {
  auto voice = std::make_shared<Voice>();
  voice->block = std::move(block);
  std::lock_guard<std::recursive_mutex> lock(mMutex);
  mVoices.push_back(voice);
  return voice;
}

void AudioMixer::RemoveVoice(const std::shared_ptr<Voice>& voice) {
  std::lock_guard<std::recursive_mutex> lock(mMutex);
  mVoices.erase(std::remove(mVoices.begin(), mVoices.end(), voice), mVoices.end());
}

int AudioMixer::VoiceCount() {
  std::lock_guard<std::recursive_mutex> lock(mMutex);
  return static_cast<int>(mVoices.size());
}

void AudioMixer::SetMasterLevel(std::uint32_t level) {
  std::lock_guard<std::recursive_mutex> lock(mMutex);
  mMasterLevel = std::min<std::uint32_t>(level, 65535);
}

std::uint32_t AudioMixer::GetMasterLevel() {
  std::lock_guard<std::recursive_mutex> lock(mMutex);
  return mMasterLevel;
}

namespace {

// One frame of a block as two signed 16-bit values (mono is copied to both sides).
inline void ReadFrame(const SampleBlock& b, std::size_t frame, std::int32_t& left, std::int32_t& right) {
  const std::uint8_t* p = b.bytes.data() + frame * static_cast<std::size_t>(b.frameBytes());
  if (b.bitsPerSample == 16) {
    left = static_cast<std::int16_t>(p[0] | (p[1] << 8));
    right = b.channels == 2 ? static_cast<std::int16_t>(p[2] | (p[3] << 8)) : left;
  } else {
    left = (static_cast<std::int32_t>(p[0]) - 128) << 8;
    right = b.channels == 2 ? (static_cast<std::int32_t>(p[1]) - 128) << 8 : left;
  }
}

void MixVoice(Voice& v, std::int32_t* acc, int frames) {
  const SampleBlock& b = *v.block;
  std::size_t total = b.frames();
  std::size_t end = (v.loopEnd > 0 && v.loopEnd <= total) ? v.loopEnd : total;
  std::size_t loopStart = v.loopStart < end ? v.loopStart : 0;
  if (end == 0) {
    v.playing = false;
    return;
  }
  const std::uint64_t step = (static_cast<std::uint64_t>(v.frequency) << 32) / AudioMixer::kOutputRate;
  const float gl = v.gainLeft, gr = v.gainRight;
  for (int i = 0; i < frames; ++i) {
    std::size_t frame = static_cast<std::size_t>(v.position >> 32);
    if (frame >= end) {
      if (!v.looping) {
        v.playing = false;
        v.position = 0;
        return;
      }
      std::uint64_t span = static_cast<std::uint64_t>(end - loopStart) << 32;
      v.position = (static_cast<std::uint64_t>(loopStart) << 32) + (v.position - (static_cast<std::uint64_t>(end) << 32)) % span;
      frame = static_cast<std::size_t>(v.position >> 32);
    }
    std::int32_t l, r;
    ReadFrame(b, frame, l, r);
    acc[2 * i] += static_cast<std::int32_t>(static_cast<float>(l) * gl);
    acc[2 * i + 1] += static_cast<std::int32_t>(static_cast<float>(r) * gr);
    v.position += step;
  }
}

}  // namespace

void AudioMixer::Mix(std::int16_t* out, int frames) {
  if (frames <= 0) return;
  std::lock_guard<std::recursive_mutex> lock(mMutex);
  mAccumulator.assign(static_cast<std::size_t>(frames) * 2, 0);
  for (const auto& voice : mVoices) {
    if (voice->playing && voice->block) MixVoice(*voice, mAccumulator.data(), frames);
  }
  const std::int64_t master = mMasterLevel;
  for (std::size_t i = 0; i < mAccumulator.size(); ++i) {
    std::int64_t s = master == 65535 ? mAccumulator[i] : mAccumulator[i] * master / 65535;
    out[i] = static_cast<std::int16_t>(std::clamp<std::int64_t>(s, -32768, 32767));
  }
}

}  // namespace plat
