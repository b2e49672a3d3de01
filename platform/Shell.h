// Opening documents and links with the desktop's handler: ShellExecuteA with the "open" verb
// starts `xdg-open` on the file or URL directly (posix_spawnp), never through a shell.
#pragma once

#include <functional>
#include <string>

#include "platform/Types.h"
#include "platform/Window.h"

namespace plat {

// Above 32 on success, as the system call reports; 2 (file not found) when the handler
// cannot be started, 31 for a verb other than "open".
std::intptr_t ShellExecuteA(const void* window, const char* verb, const char* file, const char* parameters,
                            const char* directory, int showCommand);

// Replaces the launch with `hook(file)` (nullptr restores the real launch); tests use it.
using ShellOpenHook = std::function<bool(const std::string& file)>;
void SetShellOpenHook(ShellOpenHook hook);

}  // namespace plat
