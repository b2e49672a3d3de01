// The process itself: its raw command line (built from argv as a Windows program would see
// it) and ending it with an exit code. Tests replace the ending with a hook that throws.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "platform/Types.h"

namespace plat {

// Records the program's arguments; main calls it first. Each argument that holds a space
// or a tab, or is empty, is put in double quotes; the program path is always quoted.
void SetCommandLineArgs(int argc, const char* const* argv);
void SetCommandLineArgs(const std::vector<std::string>& args);
// The whole command line (the program path alone before SetCommandLineArgs).
const char* GetCommandLineA();

// Ends the process with `code` (std::exit, so open files are flushed). When a hook is set
// it runs instead; a hook that returns still ends the process.
[[noreturn]] void ExitProcess(UINT code);
void SetExitProcessHook(std::function<void(UINT code)> hook);

}  // namespace plat
