// The one mixer device: its wave-out line, whose volume control sets the software mixer's
// final gain.
#include "platform/WaveOutMixer.h"

#include <cstring>

#include "platform/AudioMixer.h"

namespace plat {

namespace {
constexpr DWORD kWaveOutLineId = 1;
constexpr DWORD kVolumeControlId = 1;
// Any non-null value: there is only one device to open.
HMIXER const kMixerHandle = reinterpret_cast<HMIXER>(static_cast<std::uintptr_t>(0x4D49));
}  // namespace

MMRESULT mixerOpen(HMIXER* mixer, UINT deviceId, std::uintptr_t, std::uintptr_t, DWORD) {
  if (mixer == nullptr) return MMSYSERR_INVALPARAM;
  *mixer = nullptr;
  if (deviceId != 0) return MMSYSERR_BADDEVICEID;
  *mixer = kMixerHandle;
  return MMSYSERR_NOERROR;
}

MMRESULT mixerClose(HMIXER mixer) { return mixer == kMixerHandle ? MMSYSERR_NOERROR : MMSYSERR_INVALHANDLE; }

MMRESULT mixerGetDevCapsA(UINT deviceId, MIXERCAPSA* caps, UINT size) {
  if (deviceId != 0) return MMSYSERR_BADDEVICEID;
  if (caps == nullptr || size < sizeof(MIXERCAPSA)) return MMSYSERR_INVALPARAM;
  *caps = MIXERCAPSA{};
  std::strncpy(caps->szPname, "Software Mixer", sizeof(caps->szPname) - 1);
  caps->cDestinations = 1;
  return MMSYSERR_NOERROR;
}

MMRESULT mixerGetLineInfoA(HMIXER mixer, MIXERLINEA* line, DWORD flags) {
  if (mixer != kMixerHandle) return MMSYSERR_INVALHANDLE;
  if (line == nullptr || flags != MIXER_GETLINEINFOF_COMPONENTTYPE) return MMSYSERR_INVALPARAM;
  if (line->dwComponentType != MIXERLINE_COMPONENTTYPE_SRC_WAVEOUT) return MIXERR_INVALLINE;
  line->dwLineID = kWaveOutLineId;
  line->cChannels = 1;
  line->cControls = 1;
  return MMSYSERR_NOERROR;
}

MMRESULT mixerGetLineControlsA(HMIXER mixer, MIXERLINECONTROLSA* controls, DWORD flags) {
  if (mixer != kMixerHandle) return MMSYSERR_INVALHANDLE;
  if (controls == nullptr || controls->pamxctrl == nullptr || flags != MIXER_GETLINECONTROLSF_ONEBYTYPE)
    return MMSYSERR_INVALPARAM;
  if (controls->dwLineID != kWaveOutLineId) return MIXERR_INVALLINE;
  if (controls->dwControlType != MIXERCONTROL_CONTROLTYPE_VOLUME) return MIXERR_INVALCONTROL;
  controls->pamxctrl->dwControlID = kVolumeControlId;
  controls->pamxctrl->dwControlType = MIXERCONTROL_CONTROLTYPE_VOLUME;
  controls->pamxctrl->lMinimum = 0;
  controls->pamxctrl->lMaximum = 65535;
  return MMSYSERR_NOERROR;
}

MMRESULT mixerGetControlDetailsA(HMIXER mixer, MIXERCONTROLDETAILS* details, DWORD) {
  if (mixer != kMixerHandle) return MMSYSERR_INVALHANDLE;
  if (details == nullptr || details->paDetails == nullptr || details->cbDetails < sizeof(MIXERCONTROLDETAILS_UNSIGNED))
    return MMSYSERR_INVALPARAM;
  if (details->dwControlID != kVolumeControlId) return MIXERR_INVALCONTROL;
  static_cast<MIXERCONTROLDETAILS_UNSIGNED*>(details->paDetails)->dwValue = AudioMixer::Get().GetMasterLevel();
  return MMSYSERR_NOERROR;
}

MMRESULT mixerSetControlDetails(HMIXER mixer, const MIXERCONTROLDETAILS* details, DWORD) {
  if (mixer != kMixerHandle) return MMSYSERR_INVALHANDLE;
  if (details == nullptr || details->paDetails == nullptr || details->cbDetails < sizeof(MIXERCONTROLDETAILS_UNSIGNED))
    return MMSYSERR_INVALPARAM;
  if (details->dwControlID != kVolumeControlId) return MIXERR_INVALCONTROL;
  DWORD value = static_cast<const MIXERCONTROLDETAILS_UNSIGNED*>(details->paDetails)->dwValue;
  if (value > 65535) return MMSYSERR_INVALPARAM;
  AudioMixer::Get().SetMasterLevel(value);
  return MMSYSERR_NOERROR;
}

}  // namespace plat
