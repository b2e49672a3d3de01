// DirectSound buffers as voices of the software mixer.
#include "platform/DirectSound.h"

#include <cmath>
#include <mutex>
#include <new>

#include "platform/Module.h"

namespace plat {

float GainFromHundredthsDB(LONG volume) {
  if (volume <= DSBVOLUME_MIN) return 0.0f;
  return static_cast<float>(std::pow(10.0, static_cast<double>(volume) / 2000.0));
}

// ---- IDirectSoundBuffer ----

IDirectSoundBuffer::~IDirectSoundBuffer() {
  if (mVoice) AudioMixer::Get().RemoveVoice(mVoice);
}

ULONG IDirectSoundBuffer::AddRef() { return ++mRefs; }

ULONG IDirectSoundBuffer::Release() {
  ULONG left = --mRefs;
  if (left == 0) delete this;
  return left;
}

HRESULT IDirectSoundBuffer::GetFormat(WAVEFORMATEX* format, DWORD sizeAllocated, DWORD* sizeWritten) {
  if (format == nullptr) {
    if (sizeWritten == nullptr) return DSERR_INVALIDPARAM;
    *sizeWritten = sizeof(WAVEFORMATEX);
    return DS_OK;
  }
  if (sizeAllocated < sizeof(WAVEFORMATEX)) return DSERR_INVALIDPARAM;
  *format = mFormat;
  if (sizeWritten != nullptr) *sizeWritten = sizeof(WAVEFORMATEX);
  return DS_OK;
}

HRESULT IDirectSoundBuffer::SetFormat(const WAVEFORMATEX* format) {
  // Only the primary buffer takes a format; the mixer's output is fixed at 44100 Hz stereo.
  if (!mPrimary || format == nullptr) return DSERR_INVALIDCALL;
  if (format->wFormatTag != WAVE_FORMAT_PCM) return DSERR_BADFORMAT;
  mFormat = *format;
  return DS_OK;
}

HRESULT IDirectSoundBuffer::GetFrequency(DWORD* frequency) {
  if (frequency == nullptr) return DSERR_INVALIDPARAM;
  if (!mVoice) return DSERR_INVALIDCALL;
  std::lock_guard<std::recursive_mutex> lock(AudioMixer::Get().Lock());
  *frequency = mVoice->frequency;
  return DS_OK;
}

HRESULT IDirectSoundBuffer::SetFrequency(DWORD frequency) {
  if (!mVoice) return DSERR_INVALIDCALL;
  if (frequency == DSBFREQUENCY_ORIGINAL) frequency = mFormat.nSamplesPerSec;
  if (frequency < DSBFREQUENCY_MIN || frequency > DSBFREQUENCY_MAX) return DSERR_INVALIDPARAM;
  std::lock_guard<std::recursive_mutex> lock(AudioMixer::Get().Lock());
  mVoice->frequency = frequency;
  return DS_OK;
}

void IDirectSoundBuffer::ApplyGains() {
  float gain = GainFromHundredthsDB(mVolume);
  float left = gain, right = gain;
  if (mPan > 0) left *= GainFromHundredthsDB(-mPan);
  if (mPan < 0) right *= GainFromHundredthsDB(mPan);
  std::lock_guard<std::recursive_mutex> lock(AudioMixer::Get().Lock());
  mVoice->gainLeft = left;
  mVoice->gainRight = right;
}

HRESULT IDirectSoundBuffer::GetVolume(LONG* volume) {
  if (volume == nullptr) return DSERR_INVALIDPARAM;
  std::lock_guard<std::recursive_mutex> lock(AudioMixer::Get().Lock());
  *volume = mVolume;
  return DS_OK;
}

HRESULT IDirectSoundBuffer::SetVolume(LONG volume) {
  if (!mVoice) return DSERR_INVALIDCALL;
  if (volume < DSBVOLUME_MIN || volume > DSBVOLUME_MAX) return DSERR_INVALIDPARAM;
  std::lock_guard<std::recursive_mutex> lock(AudioMixer::Get().Lock());
  mVolume = volume;
  ApplyGains();
  return DS_OK;
}

HRESULT IDirectSoundBuffer::GetPan(LONG* pan) {
  if (pan == nullptr) return DSERR_INVALIDPARAM;
  std::lock_guard<std::recursive_mutex> lock(AudioMixer::Get().Lock());
  *pan = mPan;
  return DS_OK;
}

HRESULT IDirectSoundBuffer::SetPan(LONG pan) {
  if (!mVoice) return DSERR_INVALIDCALL;
  if (pan < DSBPAN_LEFT || pan > DSBPAN_RIGHT) return DSERR_INVALIDPARAM;
  std::lock_guard<std::recursive_mutex> lock(AudioMixer::Get().Lock());
  mPan = pan;
  ApplyGains();
  return DS_OK;
}

HRESULT IDirectSoundBuffer::Play(DWORD, DWORD, DWORD flags) {
  if (!mVoice) return DSERR_INVALIDCALL;
  std::lock_guard<std::recursive_mutex> lock(AudioMixer::Get().Lock());
  mVoice->looping = (flags & DSBPLAY_LOOPING) != 0;
  mVoice->playing = true;
  return DS_OK;
}

HRESULT IDirectSoundBuffer::Stop() {
  if (!mVoice) return DSERR_INVALIDCALL;
  std::lock_guard<std::recursive_mutex> lock(AudioMixer::Get().Lock());
  mVoice->playing = false;
  return DS_OK;
}

HRESULT IDirectSoundBuffer::GetStatus(DWORD* status) {
  if (status == nullptr) return DSERR_INVALIDPARAM;
  *status = 0;
  if (!mVoice) return DS_OK;
  std::lock_guard<std::recursive_mutex> lock(AudioMixer::Get().Lock());
  if (mVoice->playing) *status = DSBSTATUS_PLAYING | (mVoice->looping ? DSBSTATUS_LOOPING : 0);
  return DS_OK;
}

HRESULT IDirectSoundBuffer::GetCurrentPosition(DWORD* play, DWORD* write) {
  if (!mVoice) return DSERR_INVALIDCALL;
  std::lock_guard<std::recursive_mutex> lock(AudioMixer::Get().Lock());
  DWORD bytes = static_cast<DWORD>((mVoice->position >> 32) * static_cast<std::uint64_t>(mBlock->frameBytes()));
  if (play != nullptr) *play = bytes;
  if (write != nullptr) *write = bytes;
  return DS_OK;
}

HRESULT IDirectSoundBuffer::SetCurrentPosition(DWORD position) {
  if (!mVoice) return DSERR_INVALIDCALL;
  if (position >= mBlock->bytes.size()) return DSERR_INVALIDPARAM;
  std::lock_guard<std::recursive_mutex> lock(AudioMixer::Get().Lock());
  mVoice->position = static_cast<std::uint64_t>(position / mBlock->frameBytes()) << 32;
  return DS_OK;
}

HRESULT IDirectSoundBuffer::Lock(DWORD offset, DWORD bytes, void** ptr1, DWORD* bytes1, void** ptr2, DWORD* bytes2,
                                 DWORD) {
  if (!mBlock || ptr1 == nullptr || bytes1 == nullptr) return DSERR_INVALIDPARAM;
  std::size_t size = mBlock->bytes.size();
  if (offset >= size || bytes == 0 || bytes > size - offset) return DSERR_INVALIDPARAM;
  *ptr1 = mBlock->bytes.data() + offset;
  *bytes1 = bytes;
  if (ptr2 != nullptr) *ptr2 = nullptr;
  if (bytes2 != nullptr) *bytes2 = 0;
  return DS_OK;
}

HRESULT IDirectSoundBuffer::Unlock(void* ptr1, DWORD, void*, DWORD) {
  if (!mBlock || ptr1 == nullptr) return DSERR_INVALIDPARAM;
  return DS_OK;
}

// ---- IDirectSound ----

// The size callers put in a buffer description: that of the original 32-bit structure.
constexpr DWORD kBufferDescSize = 20;

ULONG IDirectSound::AddRef() { return ++mRefs; }

ULONG IDirectSound::Release() {
  ULONG left = --mRefs;
  if (left == 0) delete this;
  return left;
}

HRESULT IDirectSound::SetCooperativeLevel(HWND, DWORD level) {
  return (level == DSSCL_NORMAL || level == DSSCL_PRIORITY) ? DS_OK : DSERR_INVALIDPARAM;
}

HRESULT IDirectSound::CreateSoundBuffer(const DSBUFFERDESC* desc, IDirectSoundBuffer** out, void* outer) {
  if (desc == nullptr || out == nullptr || outer != nullptr || desc->dwSize != kBufferDescSize)
    return DSERR_INVALIDPARAM;
  *out = nullptr;
  if (desc->dwFlags & DSBCAPS_PRIMARYBUFFER) {
    if (desc->dwBufferBytes != 0 || desc->lpwfxFormat != nullptr) return DSERR_INVALIDPARAM;
    auto* primary = new (std::nothrow) IDirectSoundBuffer();
    if (primary == nullptr) return DSERR_OUTOFMEMORY;
    primary->mPrimary = true;
    primary->mFormat = {WAVE_FORMAT_PCM, 2, 44100, 176400, 4, 16, 0};
    *out = primary;
    return DS_OK;
  }
  const WAVEFORMATEX* f = desc->lpwfxFormat;
  if (f == nullptr) return DSERR_INVALIDPARAM;
  if (f->wFormatTag != WAVE_FORMAT_PCM || (f->nChannels != 1 && f->nChannels != 2) ||
      (f->wBitsPerSample != 8 && f->wBitsPerSample != 16) || f->nSamplesPerSec < DSBFREQUENCY_MIN ||
      f->nSamplesPerSec > DSBFREQUENCY_MAX || f->nBlockAlign != f->nChannels * f->wBitsPerSample / 8)
    return DSERR_BADFORMAT;
  if (desc->dwBufferBytes < DSBSIZE_MIN || desc->dwBufferBytes > DSBSIZE_MAX) return DSERR_INVALIDPARAM;

  auto block = std::make_shared<SampleBlock>();
  try {
    block->bytes.assign(desc->dwBufferBytes, f->wBitsPerSample == 8 ? 0x80 : 0);
  } catch (const std::bad_alloc&) {
    return DSERR_OUTOFMEMORY;
  }
  block->channels = f->nChannels;
  block->bitsPerSample = f->wBitsPerSample;
  auto* buffer = new IDirectSoundBuffer();
  buffer->mFormat = *f;
  buffer->mFormat.cbSize = 0;
  buffer->mBlock = block;
  buffer->mVoice = AudioMixer::Get().AddVoice(block);
  {
    std::lock_guard<std::recursive_mutex> lock(AudioMixer::Get().Lock());
    buffer->mVoice->frequency = f->nSamplesPerSec;
  }
  *out = buffer;
  return DS_OK;
}

HRESULT IDirectSound::DuplicateSoundBuffer(IDirectSoundBuffer* original, IDirectSoundBuffer** out) {
  if (original == nullptr || out == nullptr) return DSERR_INVALIDPARAM;
  *out = nullptr;
  if (original->mPrimary || !original->mBlock) return DSERR_INVALIDCALL;
  auto* copy = new (std::nothrow) IDirectSoundBuffer();
  if (copy == nullptr) return DSERR_OUTOFMEMORY;
  copy->mFormat = original->mFormat;
  copy->mBlock = original->mBlock;
  copy->mVoice = AudioMixer::Get().AddVoice(original->mBlock);
  {
    std::lock_guard<std::recursive_mutex> lock(AudioMixer::Get().Lock());
    copy->mVolume = original->mVolume;
    copy->mPan = original->mPan;
    copy->mVoice->frequency = original->mVoice->frequency;
  }
  copy->ApplyGains();
  *out = copy;
  return DS_OK;
}

HRESULT DirectSoundCreate(void* guid, IDirectSound** out, void* outer) {
  if (out == nullptr || outer != nullptr) return DSERR_INVALIDPARAM;
  *out = nullptr;
  if (guid != nullptr) return DSERR_NODRIVER;
  AudioMixer::Get().Start();
  *out = new IDirectSound();
  return DS_OK;
}

void RegisterDirectSoundModule() {
  RegisterModule("dsound.dll", {{"DirectSoundCreate", reinterpret_cast<FARPROC>(&DirectSoundCreate)}});
}

}  // namespace plat
