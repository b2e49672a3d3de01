// Sound instances on duplicated DirectSound buffers, and the volume-to-decibel conversion.
#include "framework/sound/DSoundInstance.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <mutex>

#include "framework/sound/DSoundManager.h"
#include "framework/sound/SoundMath.h"
#include "platform/MessageBox.h"
#include "platform/Process.h"

namespace Orvo {

std::int32_t VolumeToDSoundDB(double volume) {
  // No volume above 0 (NaN included) has a logarithm: silence. Volumes above 1 give positive
  // values, which buffers refuse; they are held where no integer overflows.
  if (!(volume > 0.0)) return -10000;
  auto db = TruncateInRange((std::log10(volume * 9.0 + 1.0) - 1.0) * 2333.0, -10000, 10000, -10000);
  return db < -2000 ? -10000 : static_cast<std::int32_t>(db);
}

namespace {

// Names of the failures a duplication can report, shown before the program ends.
const char* DuplicateErrorName(plat::HRESULT hr) {
  switch (static_cast<std::uint32_t>(hr)) {
    case 0x8878000Au: return "DSERR_ALLOCATED";
    case 0x88780032u: return "DSERR_INVALIDCALL";
    case 0x887800AAu: return "DSERR_UNINITIALIZED";
    case 0x8007000Eu: return "DSERR_OUTOFMEMORY";
    case 0x80070057u: return "DSERR_INVALIDPARAM";
    default: return nullptr;
  }
}

}  // namespace

DSoundInstance::DSoundInstance(DSoundManager* manager, plat::IDirectSoundBuffer* sourceBuffer)
    : mManager(manager), mSourceBuffer(sourceBuffer) {
  if (mSourceBuffer != nullptr) {
    plat::HRESULT hr = mManager->GetDirectSound()->DuplicateSoundBuffer(mSourceBuffer, &mBuffer);
    if (hr != plat::DS_OK) {
      if (const char* name = DuplicateErrorName(hr)) plat::MessageBoxA(nullptr, name, "Hey", plat::MB_OK);
      plat::ExitProcess(0);
    }
    plat::DWORD frequency = 0;
    mBuffer->GetFrequency(&frequency);
    mDefaultFrequency = frequency;
  }
  ApplyVolume();
}

DSoundInstance::~DSoundInstance() {
  if (mBuffer != nullptr) mBuffer->Release();
}

// Instances are played from the timing thread too: they share their manager's lock.
std::unique_lock<std::recursive_mutex> DSoundInstance::Guard() {
  return mManager != nullptr ? std::unique_lock<std::recursive_mutex>(mManager->Mutex())
                             : std::unique_lock<std::recursive_mutex>();
}

void DSoundInstance::ApplyVolume() {
  if (mBuffer == nullptr) return;
  double managerVolume = mManager != nullptr ? mManager->GetVolume() : 1.0;
  mBuffer->SetVolume(VolumeToDSoundDB(mVolume * mBaseVolume * managerVolume));
}

void DSoundInstance::ApplyPan() {
  // Summed without overflow; a sum outside the buffer's range is refused by it, as any
  // out-of-range pan is.
  std::int64_t pan = static_cast<std::int64_t>(mPan) + mBasePan;
  if (mBuffer != nullptr) mBuffer->SetPan(static_cast<plat::LONG>(std::clamp<std::int64_t>(pan, INT32_MIN, INT32_MAX)));
}

void DSoundInstance::Release() {
  auto lock = Guard();
  Stop();
  mReleased = true;
}

void DSoundInstance::SetBaseVolume(double volume) {
  auto lock = Guard();
  mBaseVolume = volume;
  ApplyVolume();
}

void DSoundInstance::SetBasePan(int pan) {
  auto lock = Guard();
  mBasePan = pan;
  ApplyPan();
}

void DSoundInstance::AdjustPitch(double semitones) {
  auto lock = Guard();
  if (mBuffer == nullptr) return;
  if (std::isnan(semitones)) semitones = 0.0;  // no pitch change
  double frequency = std::pow(1.0594630943592953, semitones) * static_cast<double>(mDefaultFrequency);
  mBuffer->SetFrequency(static_cast<plat::DWORD>(TruncateInRange(frequency, 100, 100000, 100)));
}

void DSoundInstance::SetVolume(double volume) {
  auto lock = Guard();
  mVolume = volume;
  ApplyVolume();
}

void DSoundInstance::SetPan(int pan) {
  auto lock = Guard();
  mPan = pan;
  ApplyPan();
}

bool DSoundInstance::Play(bool looping, bool autoRelease) {
  auto lock = Guard();
  Stop();
  mHasPlayed = true;
  mAutoRelease = autoRelease;
  if (mBuffer == nullptr) return false;
  return mBuffer->Play(0, 0, looping ? plat::DSBPLAY_LOOPING : 0) == plat::DS_OK;
}

void DSoundInstance::Stop() {
  auto lock = Guard();
  if (mBuffer == nullptr) return;
  mBuffer->Stop();
  mBuffer->SetCurrentPosition(0);
  mAutoRelease = false;
}

bool DSoundInstance::IsPlaying() {
  auto lock = Guard();
  if (!mHasPlayed || mBuffer == nullptr) return false;
  plat::DWORD status = 0;
  if (plat::FAILED(mBuffer->GetStatus(&status))) return false;
  return (status & plat::DSBSTATUS_PLAYING) != 0;
}

bool DSoundInstance::IsReleased() {
  auto lock = Guard();
  if (!mReleased && mAutoRelease && mHasPlayed && !IsPlaying()) Release();
  return mReleased;
}

double DSoundInstance::GetVolume() { return mVolume; }

}  // namespace Orvo
