// The sound-effect services of the framework: a DirectSound work-alike. A sound buffer holds
// PCM samples (8-bit unsigned or 16-bit signed, mono or stereo) and plays them through the
// software mixer with a volume in hundredths of a decibel, a pan, a frequency, looping and a
// play position. Duplicates share one reference-counted sample block, so a source buffer may
// be released while its copies still play. Every call may come from any thread.
#pragma once

#include <atomic>
#include <memory>

#include "platform/AudioMixer.h"
#include "platform/Messages.h"
#include "platform/Types.h"

namespace plat {

// ---- Result codes (the values the DirectX SDK gives them) ----
constexpr HRESULT DS_OK = 0;
constexpr HRESULT DSERR_ALLOCATED = static_cast<HRESULT>(0x8878000Au);
constexpr HRESULT DSERR_INVALIDCALL = static_cast<HRESULT>(0x88780032u);
constexpr HRESULT DSERR_BADFORMAT = static_cast<HRESULT>(0x88780064u);
constexpr HRESULT DSERR_NODRIVER = static_cast<HRESULT>(0x88780078u);
constexpr HRESULT DSERR_UNINITIALIZED = static_cast<HRESULT>(0x887800AAu);
constexpr HRESULT DSERR_OUTOFMEMORY = E_OUTOFMEMORY;
constexpr HRESULT DSERR_INVALIDPARAM = E_INVALIDARG;

// ---- Flags and limits ----
constexpr DWORD DSSCL_NORMAL = 1;
constexpr DWORD DSSCL_PRIORITY = 2;
constexpr DWORD DSBCAPS_PRIMARYBUFFER = 0x1;
constexpr DWORD DSBCAPS_STATIC = 0x2;
constexpr DWORD DSBCAPS_LOCSOFTWARE = 0x8;
constexpr DWORD DSBCAPS_CTRLFREQUENCY = 0x20;
constexpr DWORD DSBCAPS_CTRLPAN = 0x40;
constexpr DWORD DSBCAPS_CTRLVOLUME = 0x80;
constexpr DWORD DSBPLAY_LOOPING = 0x1;
constexpr DWORD DSBSTATUS_PLAYING = 0x1;
constexpr DWORD DSBSTATUS_LOOPING = 0x4;
constexpr DWORD DSBSIZE_MIN = 4;
constexpr DWORD DSBSIZE_MAX = 0x0FFFFFFF;
constexpr DWORD DSBFREQUENCY_ORIGINAL = 0;  // SetFrequency: back to the buffer's own rate
constexpr DWORD DSBFREQUENCY_MIN = 100;
constexpr DWORD DSBFREQUENCY_MAX = 100000;
constexpr LONG DSBVOLUME_MIN = -10000;
constexpr LONG DSBVOLUME_MAX = 0;
constexpr LONG DSBPAN_LEFT = -10000;
constexpr LONG DSBPAN_RIGHT = 10000;
constexpr WORD WAVE_FORMAT_PCM = 1;

struct WAVEFORMATEX {
  WORD wFormatTag = 0;
  WORD nChannels = 0;
  DWORD nSamplesPerSec = 0;
  DWORD nAvgBytesPerSec = 0;
  WORD nBlockAlign = 0;
  WORD wBitsPerSample = 0;
  WORD cbSize = 0;
};

struct DSBUFFERDESC {
  DWORD dwSize = 0;
  DWORD dwFlags = 0;
  DWORD dwBufferBytes = 0;
  DWORD dwReserved = 0;
  WAVEFORMATEX* lpwfxFormat = nullptr;
};

class IDirectSound;

class IDirectSoundBuffer {
 public:
  ULONG AddRef();
  ULONG Release();

  HRESULT GetFormat(WAVEFORMATEX* format, DWORD sizeAllocated, DWORD* sizeWritten);
  HRESULT SetFormat(const WAVEFORMATEX* format);
  HRESULT GetFrequency(DWORD* frequency);
  HRESULT SetFrequency(DWORD frequency);
  HRESULT GetVolume(LONG* volume);
  HRESULT SetVolume(LONG volume);
  HRESULT GetPan(LONG* pan);
  HRESULT SetPan(LONG pan);
  HRESULT Play(DWORD reserved1, DWORD priority, DWORD flags);
  HRESULT Stop();
  HRESULT GetStatus(DWORD* status);
  // Positions in bytes; the write position is the play position.
  HRESULT GetCurrentPosition(DWORD* play, DWORD* write);
  HRESULT SetCurrentPosition(DWORD position);
  // The whole requested range comes back as the first region; the second is always empty.
  HRESULT Lock(DWORD offset, DWORD bytes, void** ptr1, DWORD* bytes1, void** ptr2, DWORD* bytes2, DWORD flags);
  HRESULT Unlock(void* ptr1, DWORD bytes1, void* ptr2, DWORD bytes2);

 private:
  friend class IDirectSound;
  IDirectSoundBuffer() = default;
  ~IDirectSoundBuffer();
  void ApplyGains();

  std::atomic<ULONG> mRefs{1};
  bool mPrimary = false;
  WAVEFORMATEX mFormat;
  LONG mVolume = 0;
  LONG mPan = 0;
  std::shared_ptr<SampleBlock> mBlock;
  std::shared_ptr<Voice> mVoice;
};

class IDirectSound {
 public:
  ULONG AddRef();
  ULONG Release();
  HRESULT SetCooperativeLevel(HWND window, DWORD level);
  HRESULT CreateSoundBuffer(const DSBUFFERDESC* desc, IDirectSoundBuffer** out, void* outer);
  HRESULT DuplicateSoundBuffer(IDirectSoundBuffer* original, IDirectSoundBuffer** out);

 private:
  friend HRESULT DirectSoundCreate(void*, IDirectSound**, void*);
  IDirectSound() = default;
  std::atomic<ULONG> mRefs{1};
};

// Creates the DirectSound object on the default device (guid must be null) and starts the
// mixer's output.
HRESULT DirectSoundCreate(void* guid, IDirectSound** out, void* outer);
using DirectSoundCreateFn = HRESULT (*)(void*, IDirectSound**, void*);

// Gain of a volume in hundredths of a decibel (-10000 is silence).
float GainFromHundredthsDB(LONG volume);

// Registers "dsound.dll" with its "DirectSoundCreate".
void RegisterDirectSoundModule();

}  // namespace plat
