// The sound manager's tables, channels, volumes and DirectSound set-up.
#include "framework/sound/DSoundManager.h"

#include <algorithm>

#include "framework/sound/DSoundInstance.h"
#include "framework/sound/MusicLibraries.h"
#include "framework/sound/SoundMath.h"
#include "platform/Module.h"
#include "platform/Time.h"
#include "platform/WaveOutMixer.h"

namespace Orvo {

namespace {

// The wave-out volume control of the first mixer device, opened for one read or write.
class WaveOutVolume {
 public:
  WaveOutVolume() {
    plat::mixerOpen(&mMixer, 0, 0, 0, 0);
    plat::MIXERCAPSA caps;
    plat::mixerGetDevCapsA(0, &caps, sizeof(caps));
    plat::MIXERLINEA line;
    line.dwComponentType = plat::MIXERLINE_COMPONENTTYPE_SRC_WAVEOUT;
    plat::mixerGetLineInfoA(mMixer, &line, plat::MIXER_GETLINEINFOF_COMPONENTTYPE);
    plat::MIXERLINECONTROLSA controls;
    controls.dwLineID = line.dwLineID;
    controls.dwControlType = plat::MIXERCONTROL_CONTROLTYPE_VOLUME;
    controls.cControls = 1;
    controls.pamxctrl = &mControl;
    plat::mixerGetLineControlsA(mMixer, &controls, plat::MIXER_GETLINECONTROLSF_ONEBYTYPE);
  }
  ~WaveOutVolume() { plat::mixerClose(mMixer); }
  WaveOutVolume(const WaveOutVolume&) = delete;
  WaveOutVolume& operator=(const WaveOutVolume&) = delete;

  plat::DWORD Get() {
    plat::MIXERCONTROLDETAILS_UNSIGNED value;
    plat::MIXERCONTROLDETAILS details = Details(&value);
    plat::mixerGetControlDetailsA(mMixer, &details, plat::MIXER_GETCONTROLDETAILSF_VALUE);
    return value.dwValue;
  }
  void Set(plat::DWORD level) {
    plat::MIXERCONTROLDETAILS_UNSIGNED value{level};
    plat::MIXERCONTROLDETAILS details = Details(&value);
    plat::mixerSetControlDetails(mMixer, &details, plat::MIXER_SETCONTROLDETAILSF_VALUE);
  }

 private:
  plat::MIXERCONTROLDETAILS Details(plat::MIXERCONTROLDETAILS_UNSIGNED* value) {
    plat::MIXERCONTROLDETAILS details;
    details.dwControlID = mControl.dwControlID;
    details.cChannels = 1;
    details.paDetails = value;
    return details;
  }

  plat::HMIXER mMixer = nullptr;
  plat::MIXERCONTROLA mControl;
};

}  // namespace

plat::DWORD ReadWaveOutVolume() { return WaveOutVolume().Get(); }
void WriteWaveOutVolume(plat::DWORD level) { WaveOutVolume().Set(level); }

DSoundManager::DSoundManager(plat::HWND window, bool useFMod) : mUseFMod(useFMod) {
  mBaseVolumes.fill(1.0);
  if (window == nullptr) return;

  plat::HMODULE dsound = plat::LoadLibrary("dsound.dll");
  auto create = plat::ProcAs<plat::DirectSoundCreateFn>(plat::GetProcAddress(dsound, "DirectSoundCreate"));
  plat::FreeLibrary(dsound);  // the module stays registered; only its use count changes
  if (create == nullptr) return;
  if (create(nullptr, &mDirectSound, nullptr) != 0) {
    mDirectSound = nullptr;
    return;
  }

  if (mUseFMod) {
    LoadFModLibrary();
    gFModInstance->FSOUND_SetHWND(window);
    gFModInstance->FSOUND_SetBufferSize(200);
    gFModInstance->FSOUND_Init(44100, 64, 2);
  }

  if (plat::FAILED(mDirectSound->SetCooperativeLevel(window, plat::DSSCL_PRIORITY))) {
    mDirectSound->SetCooperativeLevel(window, plat::DSSCL_NORMAL);
    return;
  }
  plat::DSBUFFERDESC desc;
  desc.dwSize = 20;
  desc.dwFlags = plat::DSBCAPS_PRIMARYBUFFER;
  if (mDirectSound->CreateSoundBuffer(&desc, &mPrimaryBuffer, nullptr) == plat::DS_OK) {
    plat::WAVEFORMATEX format{plat::WAVE_FORMAT_PCM, 2, 44100, 176400, 4, 16, 18};
    mPrimaryBuffer->SetFormat(&format);
  } else {
    mPrimaryBuffer = nullptr;
  }
}

DSoundManager::~DSoundManager() {
  ReleaseChannels();
  ReleaseSounds();
  if (mPrimaryBuffer != nullptr) mPrimaryBuffer->Release();
  if (mDirectSound != nullptr) {
    if (mUseFMod) gFModInstance->FSOUND_Close();
    mDirectSound->Release();
    if (mUseFMod) FreeFModLibrary();
  }
}

bool DSoundManager::Initialized() { return mDirectSound != nullptr; }

int DSoundManager::LoadSound(const std::string& name) {
  std::lock_guard<std::recursive_mutex> lock(mMutex);
  for (int id = 0; id < kMaxSounds; ++id)
    if (mSourceFileNames[static_cast<std::size_t>(id)] == name) return id;
  for (int id = kMaxSounds - 1; id >= 0; --id) {
    if (mSourceSounds[static_cast<std::size_t>(id)] != nullptr) continue;
    if (LoadSoundAt(id, name)) return id;
    // A failed load forgets the name, so asking again does not answer with an empty id.
    mSourceFileNames[static_cast<std::size_t>(id)].clear();
    return -1;
  }
  return -1;
}

void DSoundManager::ReleaseSound(int id) {
  std::lock_guard<std::recursive_mutex> lock(mMutex);
  if (!ValidId(id)) return;
  auto i = static_cast<std::size_t>(id);
  if (mSourceSounds[i] == nullptr) return;
  mSourceSounds[i]->Release();
  mSourceSounds[i] = nullptr;
  mSourceFileNames[i].clear();
}

void DSoundManager::SetVolume(double volume) {
  std::lock_guard<std::recursive_mutex> lock(mMutex);
  mVolume = volume;
  for (SoundInstance* instance : mPlayingSounds)
    if (instance != nullptr) static_cast<DSoundInstance*>(instance)->ApplyVolume();
}

bool DSoundManager::SetBaseVolume(int id, double volume) {
  std::lock_guard<std::recursive_mutex> lock(mMutex);
  if (!ValidId(id)) return false;
  mBaseVolumes[static_cast<std::size_t>(id)] = volume;
  return true;
}

bool DSoundManager::SetBasePan(int id, int pan) {
  std::lock_guard<std::recursive_mutex> lock(mMutex);
  if (!ValidId(id)) return false;
  mBasePans[static_cast<std::size_t>(id)] = pan;
  return true;
}

SoundInstance* DSoundManager::GetSoundInstance(int id) {
  std::lock_guard<std::recursive_mutex> lock(mMutex);
  if (!ValidId(id)) return nullptr;
  int channel = FindFreeChannel();
  if (channel < 0) return nullptr;
  auto i = static_cast<std::size_t>(id);
  DSoundInstance* instance;
  if (mDirectSound == nullptr) {
    instance = new DSoundInstance(this, nullptr);
  } else {
    if (mSourceSounds[i] == nullptr) return nullptr;
    instance = new DSoundInstance(this, mSourceSounds[i]);
  }
  mPlayingSounds[static_cast<std::size_t>(channel)] = instance;
  instance->SetBasePan(mBasePans[i]);
  instance->SetBaseVolume(mBaseVolumes[i]);
  return instance;
}

void DSoundManager::ReleaseSounds() {
  std::lock_guard<std::recursive_mutex> lock(mMutex);
  for (auto& buffer : mSourceSounds) {
    if (buffer != nullptr) buffer->Release();
    buffer = nullptr;
  }
}

void DSoundManager::ReleaseChannels() {
  std::lock_guard<std::recursive_mutex> lock(mMutex);
  for (auto& instance : mPlayingSounds) {
    delete instance;
    instance = nullptr;
  }
}

double DSoundManager::GetMasterVolume() { return ReadWaveOutVolume() / 65535.0; }

void DSoundManager::SetMasterVolume(double volume) {
  // Held to 0..1 (NaN as 0): the control takes 0..65535, and a negative value has no
  // unsigned meaning.
  WriteWaveOutVolume(static_cast<plat::DWORD>(TruncateInRange(volume * 65535, 0, 65535, 0)));
}

void DSoundManager::SetCooperativeWindow(plat::HWND window, bool) {
  std::lock_guard<std::recursive_mutex> lock(mMutex);
  if (mDirectSound != nullptr) mDirectSound->SetCooperativeLevel(window, plat::DSSCL_NORMAL);
}

void DSoundManager::StopAllSounds() {
  std::lock_guard<std::recursive_mutex> lock(mMutex);
  for (SoundInstance* instance : mPlayingSounds) {
    if (instance == nullptr) continue;
    auto* ds = static_cast<DSoundInstance*>(instance);
    bool autoRelease = ds->AutoRelease();
    ds->Stop();
    ds->SetAutoRelease(autoRelease);
  }
}

int DSoundManager::GetFreeSoundId() {
  std::lock_guard<std::recursive_mutex> lock(mMutex);
  for (int id = 0; id < kMaxSounds; ++id)
    if (mSourceSounds[static_cast<std::size_t>(id)] == nullptr) return id;
  return -1;
}

int DSoundManager::GetNumSounds() {
  std::lock_guard<std::recursive_mutex> lock(mMutex);
  return static_cast<int>(std::count_if(mSourceSounds.begin(), mSourceSounds.end(), [](auto* b) { return b != nullptr; }));
}

int DSoundManager::FindFreeChannel() {
  std::lock_guard<std::recursive_mutex> lock(mMutex);
  std::uint32_t now = plat::GetTickCount();
  if (now - mLastReleaseTick > 1000) {
    ReleaseFinishedChannels();
    mLastReleaseTick = now;
  }
  for (int channel = 0; channel < kMaxChannels; ++channel) {
    SoundInstance*& slot = mPlayingSounds[static_cast<std::size_t>(channel)];
    if (slot == nullptr) return channel;
    if (slot->IsReleased()) {
      delete slot;
      slot = nullptr;
      return channel;
    }
  }
  return -1;
}

void DSoundManager::ReleaseFinishedChannels() {
  std::lock_guard<std::recursive_mutex> lock(mMutex);
  for (auto& instance : mPlayingSounds) {
    if (instance != nullptr && instance->IsReleased()) {
      delete instance;
      instance = nullptr;
    }
  }
}

plat::IDirectSoundBuffer* DSoundManager::GetSourceBuffer(int id) const {
  return ValidId(id) ? mSourceSounds[static_cast<std::size_t>(id)] : nullptr;
}

std::uint32_t DSoundManager::GetSampleSize(int id) const {
  return ValidId(id) ? mSourceDataSizes[static_cast<std::size_t>(id)] : 0;
}

}  // namespace Orvo
