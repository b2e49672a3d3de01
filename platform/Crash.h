// The crash layer: fatal signals (SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT) caught on an
// alternate stack and handed to an unhandled-exception filter under the Windows exception
// codes the framework reports, plus the stack walk and symbol lookup for its report
// (backtrace, dladdr, the ELF symbol table and demangling), system facts, the clipboard
// and the buttons-only message boxes of the crash windows.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/Files.h"
#include "platform/Types.h"

namespace plat {

// Exception codes, as the framework's report names them.
constexpr DWORD EXCEPTION_ACCESS_VIOLATION = 0xC0000005u;
constexpr DWORD EXCEPTION_IN_PAGE_ERROR = 0xC0000006u;
constexpr DWORD EXCEPTION_DATATYPE_MISALIGNMENT = 0x80000002u;
constexpr DWORD EXCEPTION_ILLEGAL_INSTRUCTION = 0xC000001Du;
constexpr DWORD EXCEPTION_PRIV_INSTRUCTION = 0xC0000096u;
constexpr DWORD EXCEPTION_INT_DIVIDE_BY_ZERO = 0xC0000094u;
constexpr DWORD EXCEPTION_INT_OVERFLOW = 0xC0000095u;
constexpr DWORD EXCEPTION_FLT_DIVIDE_BY_ZERO = 0xC000008Eu;
constexpr DWORD EXCEPTION_FLT_INEXACT_RESULT = 0xC000008Fu;
constexpr DWORD EXCEPTION_FLT_INVALID_OPERATION = 0xC0000090u;
constexpr DWORD EXCEPTION_FLT_OVERFLOW = 0xC0000091u;
constexpr DWORD EXCEPTION_FLT_UNDERFLOW = 0xC0000093u;
constexpr DWORD EXCEPTION_ARRAY_BOUNDS_EXCEEDED = 0xC000008Cu;
constexpr DWORD EXCEPTION_STACK_OVERFLOW = 0xC00000FDu;
// What abort() raises: a fatal application exit, which has no name in the report's table.
constexpr DWORD STATUS_FATAL_APP_EXIT = 0x40000015u;

constexpr long EXCEPTION_CONTINUE_SEARCH = 0;

// The faulting thread's registers (x86-64 names; zero where the machine has no such register).
struct CONTEXT {
  std::uint64_t Rax = 0, Rbx = 0, Rcx = 0, Rdx = 0, Rsi = 0, Rdi = 0;
  std::uint64_t Rip = 0, Rsp = 0, Rbp = 0;
  std::uint64_t R8 = 0, R9 = 0, R10 = 0, R11 = 0, R12 = 0, R13 = 0, R14 = 0, R15 = 0;
  std::uint16_t SegCs = 0, SegSs = 0, SegDs = 0, SegEs = 0, SegFs = 0, SegGs = 0;
  std::uint64_t EFlags = 0;
};

struct EXCEPTION_RECORD {
  DWORD ExceptionCode = 0;
  void* ExceptionAddress = nullptr;
  int Signal = 0;  // the POSIX signal behind it
};

struct EXCEPTION_POINTERS {
  EXCEPTION_RECORD* ExceptionRecord = nullptr;
  CONTEXT* ContextRecord = nullptr;
};

using LPTOP_LEVEL_EXCEPTION_FILTER = long (*)(EXCEPTION_POINTERS*);

// Installs the filter called when a fatal signal reaches the process and returns the one
// installed before. A null filter removes the signal handlers again (restoring the ones
// that were there). The filter runs once, on an alternate stack of the first thread to
// fault, inside the signal handler: it may do only async-signal-safe work (no allocation,
// no lock), which the helpers below allow. Another thread that faults meanwhile waits in
// the handler until the process ends; a second fault on the filter's own thread ends the
// process at once. Before the filter runs, a watchdog is armed that ends the process if
// the handler stalls, and every descriptor registered with DropOnCrash is closed (so a
// lock file is given up even then); afterwards the signal takes its default course and
// ends the process.
LPTOP_LEVEL_EXCEPTION_FILTER SetUnhandledExceptionFilter(LPTOP_LEVEL_EXCEPTION_FILTER filter);

// Gives the calling thread an alternate signal stack of its own, large enough for the
// crash handler (unless it has one already), until the thread ends. The thread installing
// the filter gets one then, every thread started with StartThread or Thread gets one
// first, and a thread started by a library that runs the program's code (the audio
// device's) calls this on entry. Cheap after the first call on a thread.
void EnsureCrashSignalStack();

// True once a thread has entered the crash handler (the report is being made); it stays
// true until the process ends.
bool CrashReportInProgress();

// Seconds the crash handler may take before the watchdog ends the process.
constexpr unsigned kCrashWatchdogSeconds = 5;

// Descriptors the crash handler closes first (lock files, sockets). At most 16 at a time.
void DropOnCrash(int fd);
void KeepOnCrash(int fd);

// ---- Crash handler helpers: async-signal-safe unless said otherwise ----

// Text built in memory reserved ahead of time; it never allocates, and what does not fit
// is cut.
class FixedText {
 public:
  FixedText(char* buffer, std::size_t capacity) : mBuffer(buffer), mCapacity(capacity) {}
  FixedText& Add(const char* text);
  FixedText& Add(const char* text, std::size_t length);
  // At least `minDigits` digits, upper-case unless `lowerCase`.
  FixedText& Hex(std::uint64_t value, int minDigits, bool lowerCase = false);
  FixedText& Dec(std::uint64_t value, int minDigits = 1);
  const char* Data() const { return mBuffer; }
  std::size_t Size() const { return mSize; }
  void Clear() { mSize = 0; }

 private:
  char* mBuffer;
  std::size_t mCapacity;
  std::size_t mSize = 0;
};

// One frame of the faulting thread: its program counter, its frame address (the stack
// address the frame's caller saw) and the four stack words there (0 where unreadable).
struct CrashFrame {
  std::uintptr_t pc = 0;
  std::uintptr_t frame = 0;
  std::uintptr_t params[4] = {};
};
// The faulting thread's frames, starting at the faulting instruction; returns the count.
int CaptureCrashFrames(const CONTEXT& context, CrashFrame* frames, int maxFrames);

// Reads the symbol and section tables of every loaded module ahead of time (names
// demangled), so that CrashSymbolFor needs no allocation. Not signal-safe: call it at
// start-up and again after libraries were loaded.
void PrepareCrashSymbols();
struct CrashSymbol {
  const char* module = "";  // full path; "" when no prepared module holds the address
  DWORD section = 0;
  DWORD offset = 0;
  const char* name = nullptr;  // null when no symbol holds the address
  std::uintptr_t displacement = 0;
};
// False when no prepared module holds the address.
bool CrashSymbolFor(std::uintptr_t address, CrashSymbol* symbol);

// Writes a whole file: a scratch file beside it, written, synced and renamed into place.
bool WriteFileFromSignal(const char* path, const FilePiece* pieces, int count);
// Starts `path` with `argv` and the process's environment, without waiting for it.
bool SpawnFromSignal(const char* path, char* const argv[]);
// write(2) to the standard error.
void WriteToStandardError(const char* text, std::size_t size);
// The faulting thread's id, the monotonic clock in milliseconds, the working folder.
DWORD CrashThreadId();
std::uint64_t CrashClockMs();
bool CrashWorkingFolder(char* buffer, std::size_t size);

// Return addresses of the faulting thread, starting at the faulting instruction. Call it
// only from inside the filter (it walks from the signal frame).
std::vector<void*> CaptureFaultStack(const CONTEXT& context);
// Return addresses of the calling thread, innermost first (skipping this function).
std::vector<void*> CaptureStack();

// What is known about a code address.
struct SymbolInfo {
  std::string moduleName;   // path of the executable or shared library
  std::string symbolName;   // demangled, empty when unknown
  std::uintptr_t displacement = 0;  // address - symbol start
};
// False when the address lies in no loaded module.
bool SymbolFromAddress(const void* address, SymbolInfo* info);

// The module holding an address, with the 1-based index of its section that contains the
// address and the offset from that section's start. False when any of it is unknown.
bool LogicalAddress(const void* address, std::string* moduleName, DWORD* section, DWORD* offset);

// Version facts in the shape of GetVersionExA: release numbers of the running kernel and
// a text naming the system.
struct OSVERSIONINFOA {
  DWORD dwMajorVersion = 0;
  DWORD dwMinorVersion = 0;
  DWORD dwBuildNumber = 0;
  bool isNT = true;
  std::string szCSDVersion;
};
bool GetVersionExA(OSVERSIONINFOA* info);

// Puts text on the clipboard when the video system is up; false otherwise.
bool CopyTextToClipboard(const std::string& text);

// A modal box with the given buttons (left to right); returns the index of the button
// chosen. With no display it prints the caption and text to stderr and answers
// `defaultButton`.
int ShowButtonBox(const std::string& caption, const std::string& text, const std::vector<std::string>& buttons,
                  int defaultButton);

}  // namespace plat
