// The table of stand-in libraries behind LoadLibrary and GetProcAddress.
#include "platform/Module.h"

#include <dlfcn.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <memory>
#include <mutex>

namespace plat {

struct Module {
  std::string name;
  ModuleExports exports;
  int loadCount = 0;
};

namespace {

std::string Folded(const std::string& s) {
  std::string out = s;
  // Callers may pass a path; only the file name counts.
  auto slash = out.find_last_of("/\\");
  if (slash != std::string::npos) out = out.substr(slash + 1);
  std::transform(out.begin(), out.end(), out.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return out;
}

struct ModuleTable {
  std::recursive_mutex lock;
  // Modules are never freed while the process runs, so handles stay valid.
  std::map<std::string, std::unique_ptr<Module>> modules;
  std::map<std::string, bool> available;
};

ModuleTable& Table() {
  static ModuleTable table;
  return table;
}

}  // namespace

void RegisterModule(const std::string& name, ModuleExports exports) {
  auto& t = Table();
  std::lock_guard<std::recursive_mutex> g(t.lock);
  auto key = Folded(name);
  auto& slot = t.modules[key];
  if (!slot) slot = std::make_unique<Module>();
  slot->name = key;
  slot->exports = std::move(exports);
  t.available[key] = true;
}

void UnregisterModule(const std::string& name) {
  auto& t = Table();
  std::lock_guard<std::recursive_mutex> g(t.lock);
  t.available[Folded(name)] = false;
}

HMODULE LoadLibrary(const char* name) {
  if (!name) return nullptr;
  static std::once_flag builtins;
  std::call_once(builtins, RegisterBuiltinModules);
  auto& t = Table();
  std::lock_guard<std::recursive_mutex> g(t.lock);
  auto key = Folded(name);
  auto it = t.modules.find(key);
  if (it == t.modules.end() || !t.available[key]) return nullptr;
  ++it->second->loadCount;
  return it->second.get();
}

FARPROC GetProcAddress(HMODULE module, const char* procName) {
  if (!module || !procName) return nullptr;
  auto& t = Table();
  std::lock_guard<std::recursive_mutex> g(t.lock);
  auto it = module->exports.find(procName);
  return it == module->exports.end() ? nullptr : it->second;
}

bool FreeLibrary(HMODULE module) {
  if (!module) return false;
  auto& t = Table();
  std::lock_guard<std::recursive_mutex> g(t.lock);
  if (module->loadCount > 0) --module->loadCount;
  return true;
}

std::string GetModuleFileName(HMODULE module) {
  if (module == nullptr) return "";
  auto& t = Table();
  std::lock_guard<std::recursive_mutex> g(t.lock);
  for (const auto& [name, proc] : module->exports) {
    Dl_info info{};
    if (proc != nullptr && dladdr(reinterpret_cast<void*>(proc), &info) != 0 && info.dli_fname != nullptr) {
      // The program itself may be named as it was started: take its full path then.
      const std::string file = info.dli_fname;
      if (file.empty() || file[0] != '/') break;
      return file;
    }
  }
  char self[4096];
  const ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
  return n > 0 && !module->exports.empty() ? std::string(self, static_cast<std::size_t>(n)) : std::string();
}

void* OpenSharedLibrary(const std::string& path, std::string* error) {
  void* library = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (library == nullptr && error != nullptr) {
    const char* message = dlerror();
    *error = message != nullptr ? message : "cannot load";
  }
  return library;
}

void* SharedLibrarySymbol(void* library, const char* name) {
  return library != nullptr && name != nullptr ? dlsym(library, name) : nullptr;
}

void CloseSharedLibrary(void* library) {
  if (library != nullptr) dlclose(library);
}

}  // namespace plat
