// Scalar types, handles and result codes shared by every service of the platform layer.
// They carry the names the framework's code uses for them, so that code reads as written.
#pragma once

#include <cstdint>

namespace plat {

using BYTE = std::uint8_t;
using WORD = std::uint16_t;
using DWORD = std::uint32_t;
using LONG = std::int32_t;
using ULONG = std::uint32_t;
using UINT = std::uint32_t;
using INT = int;
using BOOL = int;
using HRESULT = std::int32_t;
using WPARAM = std::uintptr_t;
using LPARAM = std::intptr_t;
using LRESULT = std::intptr_t;
using LONGLONG = std::int64_t;
using ULONGLONG = std::uint64_t;

constexpr BOOL TRUE = 1;
constexpr BOOL FALSE = 0;

constexpr HRESULT S_OK = 0;
constexpr HRESULT S_FALSE = 1;
constexpr HRESULT E_FAIL = static_cast<HRESULT>(0x80004005u);
constexpr HRESULT E_OUTOFMEMORY = static_cast<HRESULT>(0x8007000Eu);
constexpr HRESULT E_INVALIDARG = static_cast<HRESULT>(0x80070057u);
constexpr HRESULT E_NOINTERFACE = static_cast<HRESULT>(0x80004002u);

inline bool SUCCEEDED(HRESULT hr) { return hr >= 0; }
inline bool FAILED(HRESULT hr) { return hr < 0; }

struct POINT { LONG x = 0; LONG y = 0; };
struct SIZE { LONG cx = 0; LONG cy = 0; };
struct RECT { LONG left = 0; LONG top = 0; LONG right = 0; LONG bottom = 0; };

inline WORD LOWORD(std::uintptr_t v) { return static_cast<WORD>(v & 0xFFFF); }
inline WORD HIWORD(std::uintptr_t v) { return static_cast<WORD>((v >> 16) & 0xFFFF); }
inline LPARAM MAKELPARAM(int lo, int hi) {
  return static_cast<LPARAM>(static_cast<DWORD>((static_cast<DWORD>(lo) & 0xFFFF) | ((static_cast<DWORD>(hi) & 0xFFFF) << 16)));
}
// Signed coordinates packed in an LPARAM, as mouse messages carry them.
inline int GET_X_LPARAM(LPARAM lp) { return static_cast<std::int16_t>(LOWORD(static_cast<std::uintptr_t>(lp))); }
inline int GET_Y_LPARAM(LPARAM lp) { return static_cast<std::int16_t>(HIWORD(static_cast<std::uintptr_t>(lp))); }

}  // namespace plat

// Handles of the file services (find-file searches and the like), and the value a failed
// open or search returns.
namespace plat {

using HANDLE = void*;
inline HANDLE const INVALID_HANDLE_VALUE = reinterpret_cast<HANDLE>(static_cast<std::intptr_t>(-1));

// A point in time as 100-nanosecond ticks since 1 January 1601 (UTC), split in two halves.
struct FILETIME { DWORD dwLowDateTime = 0; DWORD dwHighDateTime = 0; };

constexpr DWORD MAX_PATH = 260;

}  // namespace plat
