// String, path and number helpers of the framework.
#include "framework/core/Common.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <cwctype>
#include <filesystem>
#include <numeric>
#include <system_error>
#include <vector>

#include "platform/Debug.h"
#include "platform/Files.h"

namespace fs = std::filesystem;

namespace Orvo {

namespace {

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

// Index of the last '\' or '/', or npos.
std::size_t LastSeparator(const std::string& path) { return path.find_last_of("\\/"); }

// A name the file system of this machine understands: '\' becomes '/'.
fs::path NativePath(const std::string& path) {
  std::string p = path;
  std::replace(p.begin(), p.end(), '\\', '/');
  return fs::path(p);
}

}  // namespace

// ---- Strings ----

std::string ToUpperCopy(const std::string& s) {
  std::string out = s;
  for (char& c : out) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return out;
}

std::string ToLowerCopy(const std::string& s) {
  std::string out = s;
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

std::wstring ToUpperCopy(const std::wstring& s) {
  std::wstring out = s;
  for (wchar_t& c : out) c = static_cast<wchar_t>(std::towupper(static_cast<wint_t>(c)));
  return out;
}

std::wstring ToLowerCopy(const std::wstring& s) {
  std::wstring out = s;
  for (wchar_t& c : out) c = static_cast<wchar_t>(std::towlower(static_cast<wint_t>(c)));
  return out;
}

int FindNoCase(const std::string& haystack, const std::string& needle) {
  if (haystack.empty()) return -1;
  auto pos = ToLowerCopy(haystack).find(ToLowerCopy(needle));
  return pos == std::string::npos ? -1 : static_cast<int>(pos);
}

std::string Trim(const std::string& s) {
  std::size_t b = 0, e = s.size();
  while (b < e && std::isspace(static_cast<unsigned char>(s[b]))) ++b;
  while (e > b && std::isspace(static_cast<unsigned char>(s[e - 1]))) --e;
  return s.substr(b, e - b);
}

std::wstring Trim(const std::wstring& s) {
  std::size_t b = 0, e = s.size();
  while (b < e && std::iswspace(static_cast<wint_t>(s[b]))) ++b;
  while (e > b && std::iswspace(static_cast<wint_t>(s[e - 1]))) --e;
  return s.substr(b, e - b);
}

std::wstring ToWide(const std::string& s) {
  std::wstring out;
  out.reserve(s.size());
  for (char c : s) out.push_back(static_cast<wchar_t>(static_cast<unsigned char>(c)));
  return out;
}

std::string ToNarrow(const std::wstring& w) {
  std::string out;
  out.reserve(w.size());
  for (wchar_t c : w) {
    auto code = static_cast<std::uint32_t>(c);
    out.push_back(code < 256 ? static_cast<char>(code) : '?');
  }
  return out;
}

std::string FormatStringV(const char* fmt, va_list args) {
  if (!fmt) return {};
  std::vector<char> buffer(160);
  for (;;) {
    va_list attempt;
    va_copy(attempt, args);
    int needed = std::vsnprintf(buffer.data(), buffer.size(), fmt, attempt);
    va_end(attempt);
    if (needed < 0) return {};
    auto length = static_cast<std::size_t>(needed);
    if (length < buffer.size()) return std::string(buffer.data(), length);
    if (buffer.size() > kMaxFormattedLength) return std::string(buffer.data(), kMaxFormattedLength);
    buffer.resize(std::min(length, kMaxFormattedLength) + 1);
  }
}

std::string FormatString(const char* fmt, ...) {
  va_list args;
  va_start(args, fmt);
  std::string out = FormatStringV(fmt, args);
  va_end(args);
  return out;
}

void DebugPrint(const char* fmt, ...) {
  va_list args;
  va_start(args, fmt);
  std::string out = FormatStringV(fmt, args);
  va_end(args);
  plat::OutputDebugStringA(out.c_str());
}

// ---- Numbers ----

bool ParseInt(const std::string& s, int* value) {
  *value = 0;
  if (s.empty()) return false;
  bool negative = false;
  bool hex = false;
  // Wide enough to see a number leave its range before it could wrap. Decimal numbers must fit
  // an int; hexadecimal ones are a 32-bit pattern ("0xFFFFFFFF" is the packed colour, -1).
  std::uint64_t v = 0;
  constexpr std::uint64_t kHexLimit = 0xFFFFFFFFu;
  constexpr std::uint64_t kDecimalLimit = 2147483648u;  // the magnitude of INT_MIN
  // Digits after the sign or the "0x": a lone "-" or "0x" is no number.
  int digits = 0;
  for (std::size_t i = 0; i < s.size(); ++i) {
    const char c = s[i];
    int digit = -1;
    if (i == 0 && c == '-') {
      negative = true;
      continue;
    }
    if (i == 1 && (c == 'x' || c == 'X') && s[0] == '0') {  // "-x5" is no number
      hex = true;
      digits = 0;
      continue;
    }
    if (c >= '0' && c <= '9') {
      digit = c - '0';
    } else if (hex && c >= 'a' && c <= 'f') {
      digit = c - 'a' + 10;
    } else if (hex && c >= 'A' && c <= 'F') {
      digit = c - 'A' + 10;
    } else {
      return false;
    }
    v = v * (hex ? 16u : 10u) + static_cast<std::uint64_t>(digit);
    if (v > (hex ? kHexLimit : kDecimalLimit)) return false;
    ++digits;
  }
  if (digits == 0) return false;
  if (!hex && !negative && v == kDecimalLimit) return false;  // 2147483648 is no int
  std::uint32_t pattern = static_cast<std::uint32_t>(v);
  if (negative) pattern = 0u - pattern;
  *value = static_cast<int>(pattern);
  return true;
}

namespace {

// Reads [-]digits[.digits] from `p`; returns the position after the number and its value.
// Without a single digit ("-", ".", "-.") nothing is read: `p` itself comes back, value 0.
const char* ScanDouble(const char* p, double* value) {
  const char* start = p;
  double v = 0.0;
  bool negative = false;
  bool digits = false;
  if (*p == '-') {
    negative = true;
    ++p;
  }
  while (*p >= '0' && *p <= '9') {
    v = v * 10.0 + (*p++ - '0');
    digits = true;
  }
  if (*p == '.') {
    ++p;
    double weight = 0.1;
    while (*p >= '0' && *p <= '9') {
      v += (*p++ - '0') * weight;
      weight /= 10.0;
      digits = true;
    }
  }
  *value = 0.0;
  if (!digits) return start;
  *value = negative ? -v : v;
  return p;
}

}  // namespace

bool ParseDouble(const std::string& s, double* value) {
  *value = 0.0;
  if (s.empty()) return false;
  double v = 0.0;
  const char* end = ScanDouble(s.c_str(), &v);
  if (end != s.c_str() + s.size()) return false;  // a stray character, or an embedded zero
  *value = v;
  return true;
}

bool ParseDoubleBeforeParen(const char* text, double* value) {
  *value = 0.0;
  if (!text || !*text) return false;
  double v = 0.0;
  const char* end = ScanDouble(text, &v);
  if (end == text) return false;
  if (end[0] == ')' || (end[0] == 'f' && end[1] == ')')) {
    *value = v;
    return true;
  }
  return false;
}

bool IsNumericText(const std::string& s) {
  if (s.empty()) return false;
  char c = s[0];
  return (c >= '0' && c <= '9') || c == '-' || c == '+' || c == '\'' || c == '"';
}

std::string GroupDigits(long long n) {
  if (n < 0) return {};
  std::string digits = std::to_string(n);
  std::string out;
  for (std::size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0) out.push_back(',');
    out.push_back(digits[i]);
  }
  return out;
}

// ---- Paths ----

std::string GetFileName(const std::string& path, bool withoutExtension) {
  std::size_t sep = LastSeparator(path);
  std::string name = sep == std::string::npos ? path : path.substr(sep + 1);
  if (withoutExtension) {
    std::size_t dot = name.rfind('.');
    if (dot != std::string::npos) name = name.substr(0, dot);
  }
  return name;
}

std::string GetFileNamePart(const std::string& path) { return GetFileName(path, false); }

std::string GetFileDir(const std::string& path, bool withSlash) {
  std::size_t sep = LastSeparator(path);
  if (sep == std::string::npos) return {};
  return path.substr(0, withSlash ? sep + 1 : sep);
}

std::string RemoveTrailingSlash(const std::string& path) {
  if (!path.empty() && IsSeparator(path.back())) return path.substr(0, path.size() - 1);
  return path;
}

std::string AddTrailingSlash(const std::string& path, bool backslash) {
  if (path.empty() || IsSeparator(path.back())) return path;
  return path + (backslash ? '\\' : '/');
}

std::string ResolvePath(const std::string& relative, const std::string& base) {
  // A drive-qualified name needs no base.
  if (relative.size() >= 2 && relative[1] == ':') return relative;

  const bool anyBackslash = relative.find('\\') != std::string::npos || base.find('\\') != std::string::npos;
  const char sep = anyBackslash ? '\\' : '/';

  std::string drive;
  std::string result = base;
  if (result.size() >= 2 && result[1] == ':' && std::isalpha(static_cast<unsigned char>(result[0]))) {
    drive = result.substr(0, 2);
    result = result.substr(2);
  }
  if (!result.empty() && !IsSeparator(result.back())) result.push_back(sep);

  std::size_t start = 0;
  bool first = true;
  for (;;) {
    std::size_t next = relative.find_first_of("\\/", start);
    if (next == std::string::npos) break;
    std::string part = relative.substr(start, next - start);
    if (part == "..") {
      // Remove the last folder: the text between the second-last and the last separator.
      std::size_t end = result.size();  // result ends with a separator or is empty
      std::size_t prev = end >= 2 ? result.find_last_of("\\/", end - 2) : std::string::npos;
      std::size_t folderStart = prev == std::string::npos ? 0 : prev + 1;
      std::string folder = end > folderStart ? result.substr(folderStart, end - 1 - folderStart) : std::string();
      if (folder.empty() || folder == "..") {
        result += "..";
        result.push_back(sep);
      } else {
        result.erase(folderStart);
      }
    } else if (part == ".") {
      // nothing
    } else if (part.empty()) {
      if (first) result = std::string(1, sep);  // a leading separator starts at the root
    } else {
      result += part;
      result.push_back(sep);
    }
    first = false;
    start = next + 1;
  }
  result += relative.substr(start);

  const char other = sep == '\\' ? '/' : '\\';
  std::replace(result.begin(), result.end(), other, sep);
  return drive + result;
}

std::string GetCurrentDir() {
  std::error_code ec;
  fs::path p = fs::current_path(ec);
  return ec ? std::string() : p.string();
}

void MakeDirs(const std::string& path) {
  std::error_code ec;
  for (std::size_t i = 0; i < path.size(); ++i) {
    if (IsSeparator(path[i]) && i > 0) fs::create_directory(NativePath(path.substr(0, i)), ec);
  }
  if (!path.empty()) fs::create_directory(NativePath(path), ec);
}

namespace {

bool DeleteTreeAt(const fs::path& dir) {
  bool ok = true;
  std::error_code ec;
  fs::directory_iterator it(dir, ec);
  if (ec) return false;
  for (; it != fs::directory_iterator(); it.increment(ec)) {
    const fs::path entry = it->path();
    std::error_code statError;
    // symlink_status: a link is judged as a link, whatever it points to.
    fs::file_status st = fs::symlink_status(entry, statError);
    if (statError) {
      ok = false;
    } else if (fs::is_directory(st)) {
      if (!DeleteTreeAt(entry)) ok = false;
    } else {
      std::error_code rmError;
      if (!fs::remove(entry, rmError) || rmError) ok = false;
    }
  }
  if (ec) ok = false;
  std::error_code rmError;
  if (!fs::remove(dir, rmError) || rmError) ok = false;
  return ok;
}

}  // namespace

bool DeleteTree(const std::string& dir) {
  if (dir.size() < 2) return false;
  fs::path p = NativePath(RemoveTrailingSlash(dir).empty() ? dir : RemoveTrailingSlash(dir));
  std::error_code ec;
  fs::file_status st = fs::symlink_status(p, ec);
  if (ec || !fs::is_directory(st)) return false;  // missing, a file, or a link: walk nothing
  return DeleteTreeAt(p);
}

std::int64_t GetFileDate(const std::string& path) {
  std::error_code ec;
  auto written = fs::last_write_time(NativePath(path), ec);
  if (ec) return 0;
  auto system = std::chrono::file_clock::to_sys(written);
  return std::chrono::duration_cast<std::chrono::seconds>(system.time_since_epoch()).count();
}

// ---- System ----

bool IsWindows9x() { return false; }
bool IsVistaOrLater() { return true; }

namespace {
std::string& AppDataFolder() {
  static std::string folder;
  return folder;
}
}  // namespace

void SetAppDataFolder(const std::string& path) {
  if (!IsVistaOrLater()) return;
  std::string folder = path;
  // The separator added is the one the path already uses ('\' when it has none).
  if (!folder.empty() && !IsSeparator(folder.back())) {
    bool forward = folder.find('/') != std::string::npos && folder.find('\\') == std::string::npos;
    folder.push_back(forward ? '/' : '\\');
  }
  AppDataFolder() = folder;
}

std::string GetAppDataFolder() { return AppDataFolder(); }

// ---- Small types ----

void Ratio::Set(int num, int den) {
  int a = num, b = den;
  while (b != 0) {
    int t = a % b;
    a = b;
    b = t;
  }
  int gcd = a;
  if (gcd == 0) gcd = 1;
  mNumerator = num / gcd;
  mDenominator = den / gcd;
}

MTRand& GetMTRand() {
  static MTRand generator;
  return generator;
}

bool ReadWholeFile(const std::string& name, std::vector<std::uint8_t>* bytes, std::size_t maxBytes, std::string* why) {
  return plat::ReadRegularFile(name, maxBytes, bytes, why);
}

bool WriteFileAtomically(const std::string& fileName, const void* data, std::size_t size) {
  return WriteFileAtomically(fileName, {FileBytes{data, size}});
}

bool WriteFileAtomically(const std::string& fileName, std::initializer_list<FileBytes> pieces) {
  std::vector<plat::FilePiece> parts;
  parts.reserve(pieces.size());
  for (const FileBytes& piece : pieces) parts.push_back({piece.data, piece.size});
  return plat::WriteFileWhole(fileName, parts.data(), parts.size());
}

}  // namespace Orvo
