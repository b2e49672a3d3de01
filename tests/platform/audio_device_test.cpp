// Sounds really play on the audio device, the dummy one included: a short sound ends by
// itself, as the device consumes the mix in real time.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "platform/DirectSound.h"
#include "platform/Module.h"

using namespace plat;

TEST(AudioDeviceTest, AShortSoundPlaysToItsEndOnTheDevice) {
  HMODULE dsound = LoadLibrary("dsound.dll");
  auto create = ProcAs<DirectSoundCreateFn>(GetProcAddress(dsound, "DirectSoundCreate"));
  ASSERT_NE(create, nullptr);
  IDirectSound* ds = nullptr;
  ASSERT_EQ(create(nullptr, &ds, nullptr), DS_OK);
  WAVEFORMATEX f{WAVE_FORMAT_PCM, 1, 22050, 44100, 2, 16, 0};
  DSBUFFERDESC desc{20, 0x80EA, 2205 * 2, 0, &f};  // 0.1 s
  IDirectSoundBuffer* b = nullptr;
  ASSERT_EQ(ds->CreateSoundBuffer(&desc, &b, nullptr), DS_OK);
  ASSERT_EQ(b->Play(0, 0, 0), DS_OK);
  DWORD status = DSBSTATUS_PLAYING;
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while ((status & DSBSTATUS_PLAYING) && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
    b->GetStatus(&status);
  }
  EXPECT_EQ(status & DSBSTATUS_PLAYING, 0u);
  b->Release();
  ds->Release();
  FreeLibrary(dsound);
}
