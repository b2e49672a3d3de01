// String, path and number helpers shared by the whole framework, plus the small types
// that go with them: the critical-section wrapper, a reduced ratio and the process-wide
// Mersenne Twister. Narrow strings are bytes; wide strings hold one character per byte
// when they come from ToWide.
#pragma once

#include <cstdarg>
#include <cstdint>
#include <initializer_list>
#include <random>
#include <string>
#include <vector>

#include "platform/Threads.h"

namespace Orvo {

// ---- Strings ----

std::string ToUpperCopy(const std::string& s);
std::string ToLowerCopy(const std::string& s);
std::wstring ToUpperCopy(const std::wstring& s);
std::wstring ToLowerCopy(const std::wstring& s);

// First position of `needle` in `haystack`, comparing lower-cased bytes; -1 when absent or
// when `haystack` is empty; 0 for an empty needle in a non-empty haystack.
int FindNoCase(const std::string& haystack, const std::string& needle);

// `s` without leading and trailing white space (isspace).
std::string Trim(const std::string& s);
std::wstring Trim(const std::wstring& s);

// One wide character per byte, the byte value unchanged.
std::wstring ToWide(const std::string& s);
// The inverse of ToWide: characters below 256 become the byte of that value. A character
// that no byte can hold becomes '?', so the rest of the text survives.
std::string ToNarrow(const std::wstring& w);

// printf-style formatting into a string. Texts longer than kMaxFormattedLength characters
// are cut to that length.
constexpr std::size_t kMaxFormattedLength = 1310720;
std::string FormatString(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
std::string FormatStringV(const char* fmt, va_list args);

// FormatString sent to the debugger output (platform OutputDebugStringA).
void DebugPrint(const char* fmt, ...) __attribute__((format(printf, 1, 2)));

// ---- Numbers ----

// Decimal, or hexadecimal after a leading "0x"/"0X"; a leading '-' negates. False (and 0)
// for an empty text, a text without digits ("-", "0x") or any other character.
bool ParseInt(const std::string& s, int* value);
// Optional '-', digits, optional '.' and digits, at least one digit. False (and 0.0) otherwise.
bool ParseDouble(const std::string& s, double* value);
// The ParseDouble form followed by ")" or "f)" (as in source text "1.5f)").
bool ParseDoubleBeforeParen(const char* text, double* value);
// True when the first character starts a number or a quoted value: a digit, '-', '+', '\'' or '"'.
bool IsNumericText(const std::string& s);
// "1,234,567" for 1234567; "0" for 0; an empty string for a negative number.
std::string GroupDigits(long long n);

// ---- Paths (both '\' and '/' separate; the later one counts) ----

std::string GetFileName(const std::string& path, bool withoutExtension = false);
std::string GetFileNamePart(const std::string& path);
std::string GetFileDir(const std::string& path, bool withSlash = false);
std::string RemoveTrailingSlash(const std::string& path);
std::string AddTrailingSlash(const std::string& path, bool backslash = false);
// Resolves `relative` against the folder `base` (".." and "." components, a leading
// separator for the root, a drive prefix kept). See the source for the exact rules.
std::string ResolvePath(const std::string& relative, const std::string& base);
// The process's working directory (any length); empty when it cannot be read.
std::string GetCurrentDir();
// Creates every level of `path`; levels that exist are fine.
void MakeDirs(const std::string& path);
// Deletes a folder with everything in it. Symbolic links are removed as links and never
// followed. False when `dir` is shorter than 2 characters (nothing deleted), when `dir`
// itself is a link, or when any deletion failed (the walk goes on regardless).
bool DeleteTree(const std::string& dir);
// Last-write time of a file in seconds since 1970-01-01; 0 when there is no such file.
std::int64_t GetFileDate(const std::string& path);
// The whole of the plain file `name`, at most `maxBytes` long. False, with the reason in
// `why`, for a missing name, a folder, a device or pipe, or a larger file.
bool ReadWholeFile(const std::string& name, std::vector<std::uint8_t>* bytes, std::size_t maxBytes,
                   std::string* why = nullptr);
// Writes `size` bytes to `fileName` through a temporary file that is flushed to the disk and
// renamed into place, so a crash mid-write leaves the old file whole. False (the old file
// kept, no temporary left, errno telling why) when any step fails or when `fileName` is
// something other than a regular file.
bool WriteFileAtomically(const std::string& fileName, const void* data, std::size_t size);
// The same for a file made of several pieces, written one after another.
struct FileBytes {
  const void* data;
  std::size_t size;
};
bool WriteFileAtomically(const std::string& fileName, std::initializer_list<FileBytes> pieces);

// ---- System ----

// This port runs on a modern system: never a Windows 9x family member, always at least
// the version that keeps a per-user data folder.
bool IsWindows9x();
bool IsVistaOrLater();

// The per-user data folder, with a trailing separator (empty until set).
void SetAppDataFolder(const std::string& path);
std::string GetAppDataFolder();

// ---- Small types ----

// Owns one critical section (a recursive lock).
class CriticalSection {
 public:
  CriticalSection() { plat::InitializeCriticalSection(&mSection); }
  ~CriticalSection() { plat::DeleteCriticalSection(&mSection); }
  CriticalSection(const CriticalSection&) = delete;
  CriticalSection& operator=(const CriticalSection&) = delete;

  void Enter() { plat::EnterCriticalSection(&mSection); }
  void Leave() { plat::LeaveCriticalSection(&mSection); }
  plat::CRITICAL_SECTION* Native() { return &mSection; }

 private:
  plat::CRITICAL_SECTION mSection;
};

// Holds a CriticalSection for the lifetime of the scope.
class ScopedCriticalSection {
 public:
  explicit ScopedCriticalSection(CriticalSection& section) : mSection(section) { mSection.Enter(); }
  ~ScopedCriticalSection() { mSection.Leave(); }
  ScopedCriticalSection(const ScopedCriticalSection&) = delete;
  ScopedCriticalSection& operator=(const ScopedCriticalSection&) = delete;

 private:
  CriticalSection& mSection;
};

// A fraction kept in lowest terms.
struct Ratio {
  int mNumerator = 1;
  int mDenominator = 1;

  Ratio() = default;
  Ratio(int num, int den) { Set(num, den); }
  void Set(int num, int den);
  bool operator==(const Ratio& o) const { return mNumerator == o.mNumerator && mDenominator == o.mDenominator; }
};

// The framework's Mersenne Twister (MT19937). A seed of 0 means the default seed 4357.
class MTRand {
 public:
  static constexpr std::uint32_t kDefaultSeed = 4357;
  explicit MTRand(std::uint32_t seed = kDefaultSeed) { SRand(seed); }
  void SRand(std::uint32_t seed) { mEngine.seed(seed == 0 ? kDefaultSeed : seed); }
  std::uint32_t Next() { return static_cast<std::uint32_t>(mEngine()); }

 private:
  std::mt19937 mEngine;
};

// The process-wide generator, seeded with 4357 before start-up and re-seeded by the
// application's start-up and by demo loading.
MTRand& GetMTRand();

}  // namespace Orvo
