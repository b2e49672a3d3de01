// The allocation tracker: allocations recorded with their size and source position, and
// forgotten when freed; whatever is left is written to "mem_leaks.txt" and to the debugger
// output as the leak report, at process exit or on request.
#pragma once

#include <string>

namespace Orvo {

// Notes an allocation (file names longer than 259 characters are cut).
void TrackAllocation(const void* address, int size, const char* file, int line);
// Forgets an allocation; unknown addresses are ignored.
void ForgetAllocation(const void* address);

// Writes the report of every allocation still recorded to `fileName` (through a temporary
// file renamed into place) and to the debugger output. Nothing once the tracker has shut
// down; when the file cannot be written the debugger output still gets the report.
void WriteLeakReport(const std::string& fileName = "mem_leaks.txt");

// The report text itself: `when` is the asctime-form date line (with its newline).
std::string LeakReportText(const std::string& when);

// Drops every recorded allocation (used after a report that has been dealt with).
void ClearTrackedAllocations();

}  // namespace Orvo
