// The application's settings in the registry, its command line and its string properties.
// Registry access goes through here so that a demo records every result and a playback
// answers from the recording.
#include <algorithm>
#include <cstring>
#include <vector>

#include "framework/core/Demo.h"
#include "framework/core/OrvoAppBase.h"
#include "platform/Process.h"

namespace Orvo {

namespace {

// "SOFTWARE\<registry key>\<name>" split at its last backslash into key path and value name.
void SplitRegistryPath(const std::string& regKey, const std::string& name, std::string* keyPath,
                       std::string* valueName) {
  std::string full = "SOFTWARE\\" + regKey + "\\" + name;
  std::size_t last = full.rfind('\\');
  *keyPath = full.substr(0, last);
  *valueName = full.substr(last + 1);
}

bool IsAbsoluteFileName(const std::string& name) {
  if (name.empty()) return false;
  if (name[0] == '/' || name[0] == '\\') return true;
  return name.size() >= 2 && name[1] == ':';
}

double ClampVolume(double v) { return std::clamp(v, 0.0, 1.0); }

// An option name as shown in a message: long names are cut.
std::string ShownOptionName(const std::string& name) {
  constexpr std::size_t kMax = 200;
  return name.size() <= kMax ? name : name.substr(0, kMax) + "...";
}

}  // namespace

// ---- Registry ----

std::string OrvoAppBase::ReadDemoJumpTime() {
  if (mRegKey.empty()) return "";
  std::string keyPath, valueName;
  SplitRegistryPath(mRegKey, "DemoJumpTime", &keyPath, &valueName);
  std::string text;
  plat::HKEY key = nullptr;
  if (plat::RegOpenKeyExA(plat::HKEY_CURRENT_USER, keyPath.c_str(), 0, plat::KEY_READ, &key) == plat::ERROR_SUCCESS) {
    char buffer[1000] = {};
    DWORD type = 0, size = sizeof buffer;
    if (plat::RegQueryValueExA(key, valueName.c_str(), nullptr, &type, reinterpret_cast<plat::BYTE*>(buffer), &size) ==
            plat::ERROR_SUCCESS &&
        type == plat::REG_SZ)
      text.assign(buffer, strnlen(buffer, std::min<std::size_t>(size, sizeof buffer)));
    plat::RegCloseKey(key);
  }
  return text;
}

void OrvoAppBase::WriteDemoJumpTime(const std::string& text) {
  if (mRegKey.empty()) return;
  std::string keyPath, valueName;
  SplitRegistryPath(mRegKey, "DemoJumpTime", &keyPath, &valueName);
  plat::HKEY key = nullptr;
  if (plat::RegCreateKeyExA(plat::HKEY_CURRENT_USER, keyPath.c_str(), 0, "Key", plat::REG_OPTION_NON_VOLATILE,
                            plat::KEY_ALL_ACCESS, nullptr, &key, nullptr) != plat::ERROR_SUCCESS)
    return;
  plat::RegSetValueExA(key, valueName.c_str(), 0, plat::REG_SZ, reinterpret_cast<const plat::BYTE*>(text.c_str()),
                       static_cast<DWORD>(text.size() + 1));
  plat::RegCloseKey(key);
}

bool OrvoAppBase::RegWriteValue(const std::string& name, DWORD type, const void* data, DWORD size) {
  if (mRegKey.empty()) return false;
  // Demo: a playback writes nothing and answers with the recorded result. A close that was
  // refused leaves the run going, so only once the program quits is there nothing recorded
  // left to answer from.
  if (mPlayingDemo) {
    if (mQuit) return false;
    mDemo->SetUpdateCount(mUpdateCount);
    return mDemo->PlaybackRegistryWrite();
  }
  std::string keyPath, valueName;
  SplitRegistryPath(mRegKey, name, &keyPath, &valueName);
  bool ok = false;
  plat::HKEY key = nullptr;
  if (plat::RegOpenKeyExA(plat::HKEY_CURRENT_USER, keyPath.c_str(), 0, plat::KEY_WRITE, &key) == plat::ERROR_SUCCESS ||
      plat::RegCreateKeyExA(plat::HKEY_CURRENT_USER, keyPath.c_str(), 0, "Key", plat::REG_OPTION_NON_VOLATILE,
                            plat::KEY_ALL_ACCESS, nullptr, &key, nullptr) == plat::ERROR_SUCCESS) {
    // The write's own result counts: a store that cannot be written is not a success.
    ok = plat::RegSetValueExA(key, valueName.c_str(), 0, type, static_cast<const plat::BYTE*>(data), size) ==
         plat::ERROR_SUCCESS;
    plat::RegCloseKey(key);
  }
  if (mRecordingDemo) {
    mDemo->SetUpdateCount(mUpdateCount);
    mDemo->RecordRegistryWrite(ok);
  }
  return ok;
}

bool OrvoAppBase::RegReadValue(const std::string& name, DWORD* type, void* data, DWORD* size, plat::HKEY hive) {
  if (mRegKey.empty() || !size) return false;
  std::uint32_t foundType = 0;
  std::vector<std::uint8_t> bytes;
  bool found = false;

  if (mPlayingDemo) {
    // Demo: the registry is not read; the recorded answer is returned until the program quits.
    if (mQuit) return false;
    mDemo->SetUpdateCount(mUpdateCount);
    found = mDemo->PlaybackRegistryRead(&foundType, &bytes);
  } else {
    std::string keyPath, valueName;
    SplitRegistryPath(mRegKey, name, &keyPath, &valueName);
    plat::HKEY key = nullptr;
    if (plat::RegOpenKeyExA(hive, keyPath.c_str(), 0, plat::KEY_READ, &key) == plat::ERROR_SUCCESS) {
      DWORD t = 0, needed = 0;
      if (plat::RegQueryValueExA(key, valueName.c_str(), nullptr, &t, nullptr, &needed) == plat::ERROR_SUCCESS) {
        bytes.resize(needed);
        if (plat::RegQueryValueExA(key, valueName.c_str(), nullptr, &t, bytes.data(), &needed) ==
            plat::ERROR_SUCCESS) {
          bytes.resize(needed);
          foundType = t;
          found = true;
        }
      }
      plat::RegCloseKey(key);
    }
    // A value larger than the caller's buffer is a failed read, as the registry reports it.
    if (found && data && bytes.size() > *size) found = false;
    if (mRecordingDemo) {
      mDemo->SetUpdateCount(mUpdateCount);
      mDemo->RecordRegistryRead(found, foundType, bytes.data(), static_cast<int>(bytes.size()));
    }
  }

  if (!found) return false;
  // The caller's buffer bounds the copy, whatever size was stored or recorded.
  if (data && bytes.size() > *size) {
    *size = static_cast<DWORD>(bytes.size());
    return false;
  }
  if (type) *type = foundType;
  if (data && !bytes.empty()) std::memcpy(data, bytes.data(), bytes.size());
  *size = static_cast<DWORD>(bytes.size());
  return true;
}

void OrvoAppBase::RegDeleteValue(const std::string& name) {
  if (mRegKey.empty()) return;
  std::string keyPath, valueName;
  SplitRegistryPath(mRegKey, name, &keyPath, &valueName);
  plat::HKEY key = nullptr;
  if (plat::RegOpenKeyExA(plat::HKEY_CURRENT_USER, keyPath.c_str(), 0, plat::KEY_WRITE, &key) != plat::ERROR_SUCCESS)
    return;
  plat::RegDeleteValueA(key, valueName.c_str());
  plat::RegCloseKey(key);
}

bool OrvoAppBase::RegWriteText(const std::string& name, const std::string& text) {
  return RegWriteValue(name, plat::REG_SZ, text.data(), static_cast<DWORD>(text.size()));
}

bool OrvoAppBase::RegWriteNumber(const std::string& name, int value) {
  std::uint8_t bytes[4];
  auto v = static_cast<std::uint32_t>(value);
  for (int i = 0; i < 4; ++i) bytes[i] = static_cast<std::uint8_t>(v >> (8 * i));
  return RegWriteValue(name, plat::REG_DWORD, bytes, 4);
}

bool OrvoAppBase::RegWriteFlag(const std::string& name, bool value) { return RegWriteNumber(name, value ? 1 : 0); }

bool OrvoAppBase::RegReadText(const std::string& name, std::string* text) {
  DWORD type = 0, size = 0;
  if (!RegReadValue(name, &type, nullptr, &size) || type != plat::REG_SZ) return false;
  std::vector<char> buf(size + 1, 0);
  DWORD got = size;
  if (!RegReadValue(name, &type, buf.data(), &got) || type != plat::REG_SZ) return false;
  // Texts may or may not carry a terminating zero.
  *text = std::string(buf.data(), strnlen(buf.data(), got));
  return true;
}

bool OrvoAppBase::RegReadNumber(const std::string& name, int* value) {
  std::uint8_t bytes[4] = {};
  DWORD type = 0, size = 4;
  if (!RegReadValue(name, &type, bytes, &size) || type != plat::REG_DWORD || size != 4) return false;
  std::uint32_t v = 0;
  for (int i = 0; i < 4; ++i) v |= static_cast<std::uint32_t>(bytes[i]) << (8 * i);
  *value = static_cast<int>(v);
  return true;
}

bool OrvoAppBase::RegReadFlag(const std::string& name, bool* value) {
  int v = 0;
  if (!RegReadNumber(name, &v)) return false;
  *value = v != 0;
  return true;
}

void OrvoAppBase::LoadSettings() {
  mSettingsLoaded = true;
  mRegKey = GetString("RegistryKey", mRegKey);
  if (mRegKey.empty()) return;
  int v = 0;
  bool b = false;
  // Values outside their range (hand-edited or damaged) are brought back into it.
  if (RegReadNumber("MusicVolume", &v)) mMusicVolume = ClampVolume(v / 100.0);
  if (RegReadNumber("SfxVolume", &v)) mSfxVolume = ClampVolume(v / 100.0);
  if (RegReadNumber("Muted", &v)) mMuteCount = std::max(v, 0);
  if (RegReadNumber("ScreenMode", &v)) mWindowed = v == 0;
  if (RegReadNumber("PreferredX", &v)) mPreferredX = v;
  if (RegReadNumber("PreferredY", &v)) mPreferredY = v;
  if (RegReadNumber("CustomCursors", &v)) {
    mCustomCursors = v != 0;
    ApplyCursor();
  }
  if (RegReadFlag("WaitForVSync", &b)) mWaitForVSync = b;
  if (RegReadNumber("InProgress", &v)) mLastRunEndedCleanly = v == 0;
  // "InProgress" = 1 marks this run as under way. A screensaver run leaves no mark, and
  // whether this is one is known only once the command line has been read.
  if (mCommandLineParsed) {
    if (!mScreenSaverMode) RegWriteNumber("InProgress", 1);
  } else {
    mInProgressWritePending = true;
  }
}

void OrvoAppBase::SaveSettings() {
  if (mRegKey.empty()) return;
  RegWriteNumber("MusicVolume", static_cast<int>(mMusicVolume * 100));
  RegWriteNumber("SfxVolume", static_cast<int>(mSfxVolume * 100));
  RegWriteNumber("Muted", mMuteCount - mAutoMuteCount > 0 ? 1 : 0);
  RegWriteNumber("ScreenMode", mWindowed ? 0 : 1);
  RegWriteNumber("PreferredX", mPreferredX);
  RegWriteNumber("PreferredY", mPreferredY);
  RegWriteNumber("CustomCursors", mCustomCursors ? 1 : 0);
  RegWriteFlag("WaitForVSync", mWaitForVSync);
  RegWriteNumber("InProgress", 0);
}

// ---- Command line ----

void OrvoAppBase::SplitCommandLine() {
  std::string line = plat::GetCommandLineA();
  std::size_t pos = 0;
  if (!line.empty() && line[0] == '"') {
    std::size_t close = line.find('"', 1);
    if (close == std::string::npos) {
      mCommandLineParsed = true;
      return;
    }
    pos = close + 1;
  }
  std::size_t space = line.find(' ', pos);
  if (space != std::string::npos) ParseParam(line.substr(space + 1));
  mCommandLineParsed = true;
}

void OrvoAppBase::ParseParam(const std::string& text) {
  std::string name, value;
  bool inQuotes = false, inValue = false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    bool endOption = false;
    if (c == '"') {
      inQuotes = !inQuotes;
      if (!inQuotes) endOption = true;
    } else if (c == ' ' && !inQuotes) {
      endOption = true;
    } else if (c == '=') {
      inValue = true;
    } else {
      (inValue ? value : name).push_back(c);
    }
    if (endOption || i + 1 == text.size()) {
      if (!name.empty()) HandleOption(name, value);
      name.clear();
      value.clear();
      inValue = false;
    }
  }
}

void OrvoAppBase::HandleOption(const std::string& name, const std::string& value) {
  // Numbered recordings live in the per-user data folder, where they are recorded, so
  // "-recnum" and "-playnum" count and name them there.
  const std::string numberedPrefix =
      IsAbsoluteFileName(mDemoBaseName) ? mDemoBaseName : GetAppDataFolder() + mDemoBaseName;
  int n = 0;
  const auto refuse = [&](const std::string& shown) {
    ShowFatalError(GetString("INVALID_COMMANDLINE_PARAM", "Invalid command line parameter: ") + ShownOptionName(shown));
    ExitWithCode(0);
  };
  // A count of recordings is a whole number of the int range, or none at all (n stays 0, and
  // the default applies): one past the range or with stray characters is refused rather than
  // read as another count.
  if ((name == "-recnum" || name == "-playnum") && !value.empty() && !ParseInt(value, &n)) {
    refuse(name + "=" + value);
    return;
  }
  if (name == "-play") {
    mPlayingDemo = true;
    mRecordingDemo = false;
  } else if (name == "-record") {
    mRecordingDemo = true;
    mPlayingDemo = false;
  } else if (name == "-recnum") {
    if (n < 1) n = 5;  // none given, or none to keep
    mDemoFileName = Demo::RecordNumberedFileName(numberedPrefix, n);
    mRecordingDemo = true;
    mPlayingDemo = false;
  } else if (name == "-playnum") {
    mDemoFileName = Demo::PlayNumberedFileName(numberedPrefix, n);
    mPlayingDemo = true;
    mRecordingDemo = false;
  } else if (name == "-demofile") {
    mDemoFileName = IsAbsoluteFileName(value) ? value : GetAppDataFolder() + value;
  } else if (name == "-crash") {
    // Exercises the crash catcher: the first update after loading faults on purpose.
    mCrashRequested = true;
  } else if (name == "-screensaver") {
    mScreenSaverMode = true;
  } else if (name == "-changedir") {
    mProgramFolder = value;
  } else {
    refuse(name);
  }
}

// ---- String properties ----

void OrvoAppBase::SetString(const std::string& id, const std::wstring& value) { mStringProperties[id] = value; }

std::string OrvoAppBase::GetString(const std::string& id, const std::string& defaultValue) {
  auto it = mStringProperties.find(id);
  if (it == mStringProperties.end()) return defaultValue;
  return ToNarrow(it->second);
}

}  // namespace Orvo
