// The system's wave-out volume as the multimedia mixer calls reach it: one mixer device with
// one wave-out line and its volume control (0..65535). The value is the final gain of the
// software mixer, so changing it is audible; it lives for the process.
#pragma once

#include <cstdint>

#include "platform/Types.h"

namespace plat {

using HMIXER = struct HMIXER__*;
using MMRESULT = UINT;

constexpr MMRESULT MMSYSERR_NOERROR = 0;
constexpr MMRESULT MMSYSERR_BADDEVICEID = 2;
constexpr MMRESULT MMSYSERR_INVALHANDLE = 5;
constexpr MMRESULT MMSYSERR_INVALPARAM = 11;
constexpr MMRESULT MIXERR_INVALLINE = 1024;
constexpr MMRESULT MIXERR_INVALCONTROL = 1025;

constexpr DWORD MIXERLINE_COMPONENTTYPE_SRC_WAVEOUT = 0x1008;
constexpr DWORD MIXERCONTROL_CONTROLTYPE_VOLUME = 0x50030001;
constexpr DWORD MIXER_GETLINEINFOF_COMPONENTTYPE = 0x3;
constexpr DWORD MIXER_GETLINECONTROLSF_ONEBYTYPE = 0x2;
constexpr DWORD MIXER_GETCONTROLDETAILSF_VALUE = 0x0;
constexpr DWORD MIXER_SETCONTROLDETAILSF_VALUE = 0x0;

struct MIXERCAPSA {
  WORD wMid = 0;
  WORD wPid = 0;
  DWORD vDriverVersion = 0;
  char szPname[32] = {};
  DWORD fdwSupport = 0;
  DWORD cDestinations = 0;
};

struct MIXERLINEA {
  DWORD cbStruct = sizeof(MIXERLINEA);
  DWORD dwDestination = 0;
  DWORD dwSource = 0;
  DWORD dwLineID = 0;
  DWORD fdwLine = 0;
  DWORD dwComponentType = 0;
  DWORD cChannels = 0;
  DWORD cControls = 0;
};

struct MIXERCONTROLA {
  DWORD cbStruct = sizeof(MIXERCONTROLA);
  DWORD dwControlID = 0;
  DWORD dwControlType = 0;
  DWORD lMinimum = 0;
  DWORD lMaximum = 0;
};

struct MIXERLINECONTROLSA {
  DWORD cbStruct = sizeof(MIXERLINECONTROLSA);
  DWORD dwLineID = 0;
  DWORD dwControlType = 0;
  DWORD cControls = 0;
  DWORD cbmxctrl = sizeof(MIXERCONTROLA);
  MIXERCONTROLA* pamxctrl = nullptr;
};

struct MIXERCONTROLDETAILS_UNSIGNED {
  DWORD dwValue = 0;
};

struct MIXERCONTROLDETAILS {
  DWORD cbStruct = sizeof(MIXERCONTROLDETAILS);
  DWORD dwControlID = 0;
  DWORD cChannels = 0;
  DWORD cMultipleItems = 0;
  DWORD cbDetails = sizeof(MIXERCONTROLDETAILS_UNSIGNED);
  void* paDetails = nullptr;
};

MMRESULT mixerOpen(HMIXER* mixer, UINT deviceId, std::uintptr_t callback, std::uintptr_t instance, DWORD flags);
MMRESULT mixerClose(HMIXER mixer);
MMRESULT mixerGetDevCapsA(UINT deviceId, MIXERCAPSA* caps, UINT size);
MMRESULT mixerGetLineInfoA(HMIXER mixer, MIXERLINEA* line, DWORD flags);
MMRESULT mixerGetLineControlsA(HMIXER mixer, MIXERLINECONTROLSA* controls, DWORD flags);
MMRESULT mixerGetControlDetailsA(HMIXER mixer, MIXERCONTROLDETAILS* details, DWORD flags);
MMRESULT mixerSetControlDetails(HMIXER mixer, const MIXERCONTROLDETAILS* details, DWORD flags);

}  // namespace plat
