// Without any audio device (a driver that does not exist) sounds still play in time and end,
// so nothing waits forever on a sound that nobody hears.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <thread>

#include "platform/DirectSound.h"

using namespace plat;

TEST(AudioNoDeviceTest, SoundsEndInRealTimeWithoutADevice) {
  setenv("SDL_AUDIODRIVER", "no_such_driver", 1);
  IDirectSound* ds = nullptr;
  ASSERT_EQ(DirectSoundCreate(nullptr, &ds, nullptr), DS_OK);
  WAVEFORMATEX f{WAVE_FORMAT_PCM, 1, 44100, 88200, 2, 16, 0};
  DSBUFFERDESC desc{20, 0x80EA, 4410 * 2, 0, &f};  // 0.1 s
  IDirectSoundBuffer* b = nullptr;
  ASSERT_EQ(ds->CreateSoundBuffer(&desc, &b, nullptr), DS_OK);
  auto start = std::chrono::steady_clock::now();
  ASSERT_EQ(b->Play(0, 0, 0), DS_OK);
  DWORD status = DSBSTATUS_PLAYING;
  while ((status & DSBSTATUS_PLAYING) && std::chrono::steady_clock::now() - start < std::chrono::seconds(5)) {
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
    b->GetStatus(&status);
  }
  auto took = std::chrono::steady_clock::now() - start;
  EXPECT_EQ(status & DSBSTATUS_PLAYING, 0u);
  EXPECT_GE(took, std::chrono::milliseconds(80));  // not skipped: it took about its own length
  b->Release();
  ds->Release();
}
