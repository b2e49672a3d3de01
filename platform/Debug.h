// The debugger output channel: framework diagnostics ("DESTROYED HWND", run statistics,
// loading time) go here. They reach stderr when QUORVANE_DEBUG_OUTPUT is set in the
// environment, and a test can catch them through a sink.
#pragma once

#include <functional>
#include <string>

namespace plat {

void OutputDebugStringA(const char* text);

// Receives every debugger output line in place of stderr (nullptr restores the default).
void SetDebugOutputSink(std::function<void(const std::string&)> sink);

}  // namespace plat
