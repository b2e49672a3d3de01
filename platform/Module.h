// Libraries "loaded at run time": each stand-in library registers a table of its functions
// under the file name callers ask for ("j2k-codec.dll", "bass.dll", ...), and LoadLibrary /
// GetProcAddress find them by plain name, as a program would in a real dynamic library.
#pragma once

#include <map>
#include <string>

namespace plat {

struct Module;
using HMODULE = Module*;
using FARPROC = void (*)();

// Functions of one stand-in library, by exported name.
using ModuleExports = std::map<std::string, FARPROC>;

// Makes a library available under `name` (compared without regard to letter case).
// Registering a name again replaces its table.
void RegisterModule(const std::string& name, ModuleExports exports);
// Removes a library, so that LoadLibrary fails for it (used by tests of missing libraries).
void UnregisterModule(const std::string& name);

// Registers every stand-in library this layer provides; LoadLibrary calls it once.
void RegisterBuiltinModules();

HMODULE LoadLibrary(const char* name);
FARPROC GetProcAddress(HMODULE module, const char* procName);
bool FreeLibrary(HMODULE module);
// The file that holds the library's code (for the stand-ins, the program or shared
// library they are built into); empty for a null or empty module.
std::string GetModuleFileName(HMODULE module);

// Real shared libraries from files, for plug-ins: opened with their symbols kept to themselves.
// Open gives null (and the loader's message in `error`) when the file is not a library that
// loads here. Opening a file that is open already gives the same handle again; every open is
// matched by one close.
void* OpenSharedLibrary(const std::string& path, std::string* error);
void* SharedLibrarySymbol(void* library, const char* name);
void CloseSharedLibrary(void* library);

// Casts a looked-up export to its real function type.
template <typename Fn>
Fn ProcAs(FARPROC proc) { return reinterpret_cast<Fn>(proc); }

}  // namespace plat
