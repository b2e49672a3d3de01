// The settings store behind the registry calls. Each store file is plain text:
//   QuorvaneRegistry 1
//   K <tab> key path
//   V <tab> key path <tab> value name <tab> type <tab> hex bytes
// with '%', tab, CR and LF in names written as %25, %09, %0D, %0A. Key paths are relative to
// the file's root ("SOFTWARE\<name>") and compare without regard to letter case.
#include "platform/Registry.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <mutex>
#include <sstream>
#include <vector>

#include "platform/Files.h"

struct plat::RegistryKeyObject {
  std::string path;  // full path below HKEY_CURRENT_USER, '\'-separated, no outer separators
};

namespace plat {

namespace {

constexpr const char* kHeader = "QuorvaneRegistry 1";

std::mutex gLock;
std::string gFolderOverride;

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

std::vector<std::string> SplitPath(const std::string& path) {
  std::vector<std::string> parts;
  std::string cur;
  for (char c : path) {
    if (c == '\\' || c == '/') {
      if (!cur.empty()) parts.push_back(cur);
      cur.clear();
    } else {
      cur.push_back(c);
    }
  }
  if (!cur.empty()) parts.push_back(cur);
  return parts;
}

std::string JoinPath(const std::vector<std::string>& parts, std::size_t from) {
  std::string out;
  for (std::size_t i = from; i < parts.size(); ++i) {
    if (!out.empty()) out.push_back('\\');
    out += parts[i];
  }
  return out;
}

std::string Escape(const std::string& s) {
  std::string out;
  for (char c : s) {
    switch (c) {
      case '%': out += "%25"; break;
      case '\t': out += "%09"; break;
      case '\r': out += "%0D"; break;
      case '\n': out += "%0A"; break;
      default: out.push_back(c);
    }
  }
  return out;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool Unescape(const std::string& s, std::string* out) {
  out->clear();
  for (std::size_t i = 0; i < s.size(); ++i) {
    if (s[i] != '%') {
      out->push_back(s[i]);
      continue;
    }
    if (i + 2 >= s.size()) return false;
    int hi = HexDigit(s[i + 1]), lo = HexDigit(s[i + 2]);
    if (hi < 0 || lo < 0) return false;
    out->push_back(static_cast<char>(hi * 16 + lo));
    i += 2;
  }
  return true;
}

bool DecodeHex(const std::string& s, std::vector<BYTE>* out) {
  if (s.size() % 2) return false;
  out->clear();
  for (std::size_t i = 0; i < s.size(); i += 2) {
    int hi = HexDigit(s[i]), lo = HexDigit(s[i + 1]);
    if (hi < 0 || lo < 0) return false;
    out->push_back(static_cast<BYTE>(hi * 16 + lo));
  }
  return true;
}

std::string EncodeHex(const std::vector<BYTE>& data) {
  static const char* digits = "0123456789abcdef";
  std::string out;
  for (BYTE b : data) {
    out.push_back(digits[b >> 4]);
    out.push_back(digits[b & 15]);
  }
  return out;
}

struct Value {
  std::string name;  // as first written
  DWORD type = REG_NONE;
  std::vector<BYTE> data;
};

struct Key {
  std::string path;                     // as first written
  std::map<std::string, Value> values;  // by lower-cased name
};

// One store file: every key below one application key.
struct Store {
  std::map<std::string, Key> keys;  // by lower-cased relative path ("" is the root)
  bool corrupt = false;             // the file exists but could not be read
};

std::string DefaultFolder() {
  const char* config = std::getenv("XDG_CONFIG_HOME");
  if (config && *config == '/') return std::string(config) + "/quorvane";
  const char* home = std::getenv("HOME");
  if (home && *home) return std::string(home) + "/.config/quorvane";
  return "/tmp/quorvane-config-" + std::to_string(getuid());
}

std::string SafeFileName(const std::string& name) {
  std::string out;
  for (char c : name) {
    bool ok = std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '_' || c == '.' || c == ' ';
    out.push_back(ok ? c : '_');
  }
  if (out.empty() || out[0] == '.') out.insert(out.begin(), '_');
  return out;
}

// Which store file a full key path lives in, and the path relative to that file's root.
bool Locate(const std::string& fullPath, std::string* file, std::string* relative) {
  auto parts = SplitPath(fullPath);
  if (parts.empty()) return false;
  std::size_t rootLen = (Lower(parts[0]) == "software" && parts.size() >= 2) ? 2 : 1;
  std::string root = rootLen == 2 ? parts[1] : parts[0];
  // Letter case does not matter in key names, so the file name is lower-cased.
  *file = GetRegistryFolder() + "/" + SafeFileName(Lower(rootLen == 2 ? root : "_" + root)) + ".reg";
  *relative = JoinPath(parts, rootLen);
  return true;
}

Store Load(const std::string& file) {
  Store store;
  std::ifstream in(file, std::ios::binary);
  if (!in) {
    struct stat st;
    if (stat(file.c_str(), &st) == 0) store.corrupt = true;  // there, but unreadable
    return store;
  }
  std::string line;
  if (!std::getline(in, line) || line != kHeader) {
    store.corrupt = true;
    return store;
  }
  Store parsed;
  while (std::getline(in, line)) {
    if (line.empty()) continue;
    std::vector<std::string> f;
    std::size_t start = 0;
    for (;;) {
      std::size_t tab = line.find('\t', start);
      f.push_back(line.substr(start, tab == std::string::npos ? std::string::npos : tab - start));
      if (tab == std::string::npos) break;
      start = tab + 1;
    }
    std::string keyPath, name;
    if (f[0] == "K" && f.size() == 2 && Unescape(f[1], &keyPath)) {
      auto& k = parsed.keys[Lower(keyPath)];
      if (k.path.empty()) k.path = keyPath;
      continue;
    }
    Value v;
    char* end = nullptr;
    if (f[0] == "V" && f.size() == 5 && Unescape(f[1], &keyPath) && Unescape(f[2], &name) && !f[3].empty() &&
        DecodeHex(f[4], &v.data)) {
      unsigned long type = std::strtoul(f[3].c_str(), &end, 10);
      if (end && *end == 0) {
        v.type = static_cast<DWORD>(type);
        v.name = name;
        auto& k = parsed.keys[Lower(keyPath)];
        if (k.path.empty()) k.path = keyPath;
        k.values[Lower(name)] = v;
        continue;
      }
    }
    store.corrupt = true;  // one bad line spoils the file: use the defaults
    return store;
  }
  return parsed;
}

bool MakeFolder(const std::string& folder) {
  std::string cur;
  for (std::size_t i = 0; i <= folder.size(); ++i) {
    if (i == folder.size() || folder[i] == '/') {
      if (!cur.empty() && mkdir(cur.c_str(), 0700) != 0 && errno != EEXIST) return false;
    }
    if (i < folder.size()) cur.push_back(folder[i]);
  }
  return true;
}

// Writes the whole store as one whole-file replacement (scratch file, flush, rename, folder
// flush). A file that could not be read is first moved aside as "<file>.corrupt", so the new
// file starts with the default permissions and the unreadable one is kept for a look.
bool Save(const std::string& file, const Store& store) {
  std::string folder = file.substr(0, file.find_last_of('/'));
  if (!MakeFolder(folder)) return false;
  std::ostringstream out;
  out << kHeader << '\n';
  for (const auto& [lowerPath, key] : store.keys) {
    out << "K\t" << Escape(key.path) << '\n';
    for (const auto& [lowerName, v] : key.values)
      out << "V\t" << Escape(key.path) << '\t' << Escape(v.name) << '\t' << v.type << '\t' << EncodeHex(v.data) << '\n';
  }
  const std::string text = out.str();
  if (store.corrupt && std::rename(file.c_str(), (file + ".corrupt").c_str()) != 0) return false;
  const FilePiece piece{text.data(), text.size()};
  return WriteFileWhole(file, &piece, 1);
}

std::string FullPath(HKEY parent, const char* subKey) {
  std::string base;
  if (parent != HKEY_CURRENT_USER) base = parent->path;
  std::string sub = subKey ? subKey : "";
  auto parts = SplitPath(base + "\\" + sub);
  return JoinPath(parts, 0);
}

bool ValidKey(HKEY key) { return key != nullptr; }

}  // namespace

void SetRegistryFolder(const std::string& folder) {
  std::lock_guard<std::mutex> g(gLock);
  gFolderOverride = folder;
}

std::string GetRegistryFolder() {
  if (!gFolderOverride.empty()) return gFolderOverride;
  return DefaultFolder();
}

LONG RegOpenKeyExA(HKEY parent, const char* subKey, DWORD, DWORD, HKEY* result) {
  if (!ValidKey(parent) || !result) return ERROR_INVALID_PARAMETER;
  std::lock_guard<std::mutex> g(gLock);
  std::string full = FullPath(parent, subKey);
  std::string file, rel;
  if (!Locate(full, &file, &rel)) return ERROR_FILE_NOT_FOUND;
  Store store = Load(file);
  if (!store.keys.count(Lower(rel))) return ERROR_FILE_NOT_FOUND;
  *result = new RegistryKeyObject{full};
  return ERROR_SUCCESS;
}

LONG RegCreateKeyExA(HKEY parent, const char* subKey, DWORD, const char*, DWORD, DWORD, void*, HKEY* result,
                     DWORD* disposition) {
  if (!ValidKey(parent) || !result) return ERROR_INVALID_PARAMETER;
  std::lock_guard<std::mutex> g(gLock);
  std::string full = FullPath(parent, subKey);
  std::string file, rel;
  if (!Locate(full, &file, &rel)) return ERROR_INVALID_PARAMETER;
  Store store = Load(file);
  bool existed = store.keys.count(Lower(rel)) != 0;
  if (!existed) {
    store.keys[Lower(rel)].path = rel;
    if (!Save(file, store)) return ERROR_ACCESS_DENIED;
  }
  if (disposition) *disposition = existed ? REG_OPENED_EXISTING_KEY : REG_CREATED_NEW_KEY;
  *result = new RegistryKeyObject{full};
  return ERROR_SUCCESS;
}

LONG RegSetValueExA(HKEY key, const char* valueName, DWORD, DWORD type, const BYTE* data, DWORD size) {
  if (!ValidKey(key) || key == HKEY_CURRENT_USER || (size > 0 && !data)) return ERROR_INVALID_PARAMETER;
  std::lock_guard<std::mutex> g(gLock);
  std::string file, rel;
  if (!Locate(key->path, &file, &rel)) return ERROR_INVALID_PARAMETER;
  Store store = Load(file);
  Key& k = store.keys[Lower(rel)];
  if (k.path.empty()) k.path = rel;
  std::string name = valueName ? valueName : "";
  Value& v = k.values[Lower(name)];
  if (v.name.empty()) v.name = name;
  v.type = type;
  v.data.assign(data, data + size);
  return Save(file, store) ? ERROR_SUCCESS : ERROR_ACCESS_DENIED;
}

LONG RegQueryValueExA(HKEY key, const char* valueName, DWORD*, DWORD* type, BYTE* data, DWORD* size) {
  if (!ValidKey(key) || key == HKEY_CURRENT_USER) return ERROR_INVALID_PARAMETER;
  if (data && !size) return ERROR_INVALID_PARAMETER;
  std::lock_guard<std::mutex> g(gLock);
  std::string file, rel;
  if (!Locate(key->path, &file, &rel)) return ERROR_FILE_NOT_FOUND;
  Store store = Load(file);
  auto k = store.keys.find(Lower(rel));
  if (k == store.keys.end()) return ERROR_FILE_NOT_FOUND;
  auto v = k->second.values.find(Lower(valueName ? valueName : ""));
  if (v == k->second.values.end()) return ERROR_FILE_NOT_FOUND;
  if (type) *type = v->second.type;
  auto needed = static_cast<DWORD>(v->second.data.size());
  if (data) {
    if (*size < needed) {
      *size = needed;
      return ERROR_MORE_DATA;
    }
    std::copy(v->second.data.begin(), v->second.data.end(), data);
  }
  if (size) *size = needed;
  return ERROR_SUCCESS;
}

LONG RegDeleteValueA(HKEY key, const char* valueName) {
  if (!ValidKey(key) || key == HKEY_CURRENT_USER) return ERROR_INVALID_PARAMETER;
  std::lock_guard<std::mutex> g(gLock);
  std::string file, rel;
  if (!Locate(key->path, &file, &rel)) return ERROR_FILE_NOT_FOUND;
  Store store = Load(file);
  auto k = store.keys.find(Lower(rel));
  if (k == store.keys.end() || !k->second.values.erase(Lower(valueName ? valueName : ""))) return ERROR_FILE_NOT_FOUND;
  return Save(file, store) ? ERROR_SUCCESS : ERROR_ACCESS_DENIED;
}

LONG RegCloseKey(HKEY key) {
  if (!key || key == HKEY_CURRENT_USER) return ERROR_INVALID_HANDLE;
  delete key;
  return ERROR_SUCCESS;
}

}  // namespace plat
