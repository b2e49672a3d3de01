// POSIX side of the crash catcher: signal handlers on an alternate stack, the stack walk,
// symbol lookup through dladdr and the modules' own ELF symbol tables, and the small
// system services the crash report and its windows use.
#include "platform/Crash.h"

#include "platform/Threads.h"

#include <SDL.h>
#include <cxxabi.h>
#include <dlfcn.h>
#include <elf.h>
#include <execinfo.h>
#include <link.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/uio.h>
#include <sys/utsname.h>
#include <time.h>
#include <ucontext.h>
#include <unistd.h>
#include <unwind.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>

namespace plat {

namespace {

constexpr int kSignals[] = {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT};
constexpr int kSignalCount = sizeof kSignals / sizeof kSignals[0];
constexpr std::size_t kAltStackSize = 512 * 1024;

std::atomic<LPTOP_LEVEL_EXCEPTION_FILTER> gFilter{nullptr};
struct sigaction gPrevious[kSignalCount];
bool gInstalled = false;
// The thread making the crash report (its kernel thread id; 0 before any crash). Only the
// first thread to fault makes one; it stays the owner until the process ends.
std::atomic<pid_t> gReportOwner{0};

// A thread's own alternate signal stack. When the thread ends, the stack that was there
// before (a sanitizer's, or none) is put back first, so no signal can land on freed memory.
struct ThreadSignalStack {
  bool checked = false;
  std::unique_ptr<char[]> memory;
  stack_t previous{};

  ~ThreadSignalStack() {
    if (!memory) return;
    stack_t current{};
    if (sigaltstack(nullptr, &current) != 0 || current.ss_sp != memory.get()) {
      memory.release();  // whoever replaced it may still point at it: never freed
      return;
    }
    stack_t restore{};
    if (previous.ss_flags & SS_DISABLE) {
      restore.ss_flags = SS_DISABLE;
    } else {
      restore.ss_sp = previous.ss_sp;
      restore.ss_size = previous.ss_size;
    }
    if (sigaltstack(&restore, nullptr) != 0) memory.release();
  }
};

DWORD CodeForSignal(int sig, const siginfo_t* info, const CONTEXT& context) {
  switch (sig) {
    case SIGSEGV: {
      // A fault just below the stack pointer is the stack running out.
      const auto addr = reinterpret_cast<std::uintptr_t>(info->si_addr);
      const std::uintptr_t sp = context.Rsp;
      if (sp != 0 && addr + 65536 >= sp && addr <= sp + 4096) return EXCEPTION_STACK_OVERFLOW;
      return EXCEPTION_ACCESS_VIOLATION;
    }
    case SIGBUS:
      return info->si_code == BUS_ADRALN ? EXCEPTION_DATATYPE_MISALIGNMENT : EXCEPTION_IN_PAGE_ERROR;
    case SIGFPE:
      switch (info->si_code) {
        case FPE_INTDIV: return EXCEPTION_INT_DIVIDE_BY_ZERO;
        case FPE_INTOVF: return EXCEPTION_INT_OVERFLOW;
        case FPE_FLTDIV: return EXCEPTION_FLT_DIVIDE_BY_ZERO;
        case FPE_FLTOVF: return EXCEPTION_FLT_OVERFLOW;
        case FPE_FLTUND: return EXCEPTION_FLT_UNDERFLOW;
        case FPE_FLTRES: return EXCEPTION_FLT_INEXACT_RESULT;
        case FPE_FLTSUB: return EXCEPTION_ARRAY_BOUNDS_EXCEEDED;
        default: return EXCEPTION_FLT_INVALID_OPERATION;
      }
    case SIGILL:
      return (info->si_code == ILL_PRVOPC || info->si_code == ILL_PRVREG) ? EXCEPTION_PRIV_INSTRUCTION
                                                                          : EXCEPTION_ILLEGAL_INSTRUCTION;
    default:
      return STATUS_FATAL_APP_EXIT;
  }
}

void FillContext(const ucontext_t* uc, CONTEXT* c) {
#if defined(__x86_64__)
  const greg_t* g = uc->uc_mcontext.gregs;
  c->Rax = static_cast<std::uint64_t>(g[REG_RAX]);
  c->Rbx = static_cast<std::uint64_t>(g[REG_RBX]);
  c->Rcx = static_cast<std::uint64_t>(g[REG_RCX]);
  c->Rdx = static_cast<std::uint64_t>(g[REG_RDX]);
  c->Rsi = static_cast<std::uint64_t>(g[REG_RSI]);
  c->Rdi = static_cast<std::uint64_t>(g[REG_RDI]);
  c->Rip = static_cast<std::uint64_t>(g[REG_RIP]);
  c->Rsp = static_cast<std::uint64_t>(g[REG_RSP]);
  c->Rbp = static_cast<std::uint64_t>(g[REG_RBP]);
  c->R8 = static_cast<std::uint64_t>(g[REG_R8]);
  c->R9 = static_cast<std::uint64_t>(g[REG_R9]);
  c->R10 = static_cast<std::uint64_t>(g[REG_R10]);
  c->R11 = static_cast<std::uint64_t>(g[REG_R11]);
  c->R12 = static_cast<std::uint64_t>(g[REG_R12]);
  c->R13 = static_cast<std::uint64_t>(g[REG_R13]);
  c->R14 = static_cast<std::uint64_t>(g[REG_R14]);
  c->R15 = static_cast<std::uint64_t>(g[REG_R15]);
  c->EFlags = static_cast<std::uint64_t>(g[REG_EFL]);
  const auto csgsfs = static_cast<std::uint64_t>(g[REG_CSGSFS]);
  c->SegCs = static_cast<std::uint16_t>(csgsfs & 0xFFFF);
  c->SegGs = static_cast<std::uint16_t>((csgsfs >> 16) & 0xFFFF);
  c->SegFs = static_cast<std::uint16_t>((csgsfs >> 32) & 0xFFFF);
#elif defined(__aarch64__)
  c->Rip = uc->uc_mcontext.pc;
  c->Rsp = uc->uc_mcontext.sp;
  c->Rbp = uc->uc_mcontext.regs[29];
  c->EFlags = uc->uc_mcontext.pstate;
#else
  (void)uc;
  (void)c;
#endif
}

constexpr int kMaxDropped = 16;
std::atomic<int> gDropOnCrash[kMaxDropped] = {-1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1};

// The watchdog: should anything below stall (a lock held by the interrupted code, a
// broken heap), the alarm's default action ends the process.
void ArmWatchdog() {
  struct sigaction dfl {};
  dfl.sa_handler = SIG_DFL;
  sigemptyset(&dfl.sa_mask);
  sigaction(SIGALRM, &dfl, nullptr);
  sigset_t alarmOnly;
  sigemptyset(&alarmOnly);
  sigaddset(&alarmOnly, SIGALRM);
  pthread_sigmask(SIG_UNBLOCK, &alarmOnly, nullptr);
  alarm(kCrashWatchdogSeconds);
}

// Puts the default action back on every signal we catch: the next one ends the process.
void RestoreDefaultActions() {
  struct sigaction dfl {};
  dfl.sa_handler = SIG_DFL;
  sigemptyset(&dfl.sa_mask);
  for (int s : kSignals) sigaction(s, &dfl, nullptr);
}

// Another thread is making the report: this one waits for the end of the process, which that
// report (or the watchdog) brings. Only the watchdog's alarm is let through meanwhile.
[[noreturn]] void WaitForTheReport() {
  sigset_t alarmOnly;
  sigfillset(&alarmOnly);
  sigdelset(&alarmOnly, SIGALRM);
  for (;;) sigsuspend(&alarmOnly);
}

void SignalHandler(int sig, siginfo_t* info, void* ucontext) {
  // The first thread to fault makes the report. Our handlers stay in place meanwhile, so
  // that a fault on another thread comes here and waits rather than ending the process
  // before the report is written; one inside the report, on the owner's own thread, ends
  // it at once (the same signal is blocked there, so the kernel takes the default action).
  const pid_t self = gettid();
  pid_t owner = 0;
  if (!gReportOwner.compare_exchange_strong(owner, self)) {
    if (owner != self) WaitForTheReport();
    RestoreDefaultActions();
    raise(sig);
    return;
  }
  ArmWatchdog();
  for (auto& fd : gDropOnCrash) {
    const int open = fd.exchange(-1);
    if (open >= 0) close(open);
  }

  CONTEXT context;
  FillContext(static_cast<const ucontext_t*>(ucontext), &context);
  EXCEPTION_RECORD record;
  record.Signal = sig;
  record.ExceptionCode = CodeForSignal(sig, info, context);
  record.ExceptionAddress = context.Rip != 0 ? reinterpret_cast<void*>(context.Rip) : info->si_addr;
  EXCEPTION_POINTERS pointers{&record, &context};
  if (LPTOP_LEVEL_EXCEPTION_FILTER filter = gFilter.load()) filter(&pointers);

  // Returning runs the faulting instruction again, now with the default action, which ends
  // the process the ordinary way (the threads waiting above with it).
  RestoreDefaultActions();
  // A signal sent by a call (abort, raise, kill) is not delivered again by returning.
  if (info->si_code <= 0 || sig == SIGABRT) raise(sig);
}

// ---- ELF symbol tables ----

struct ElfSymbol {
  std::uintptr_t start;
  std::uintptr_t size;
  std::string name;
};

struct ElfSection {
  std::uintptr_t start;
  std::uintptr_t size;
};

struct ElfTables {
  std::vector<ElfSymbol> symbols;  // sorted by start
  std::vector<ElfSection> sections;  // by section index (0 is the null section)
};

template <typename T>
bool ReadAt(std::FILE* f, long offset, T* out, std::size_t count = 1) {
  return std::fseek(f, offset, SEEK_SET) == 0 && std::fread(out, sizeof(T), count, f) == count;
}

ElfTables LoadElfTables(const std::string& path) {
  ElfTables tables;
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (f == nullptr) return tables;
  ElfW(Ehdr) header;
  if (!ReadAt(f, 0, &header) || std::memcmp(header.e_ident, ELFMAG, SELFMAG) != 0 ||
      header.e_ident[EI_CLASS] != (sizeof(void*) == 8 ? ELFCLASS64 : ELFCLASS32) ||
      header.e_shentsize != sizeof(ElfW(Shdr)) || header.e_shnum == 0 || header.e_shnum > 4096) {
    std::fclose(f);
    return tables;
  }
  std::vector<ElfW(Shdr)> sections(header.e_shnum);
  if (!ReadAt(f, static_cast<long>(header.e_shoff), sections.data(), sections.size())) {
    std::fclose(f);
    return tables;
  }
  for (const auto& s : sections) tables.sections.push_back({static_cast<std::uintptr_t>(s.sh_addr), static_cast<std::uintptr_t>(s.sh_size)});

  // The full symbol table when the file keeps one, else the dynamic one.
  const ElfW(Shdr)* symtab = nullptr;
  for (const auto& s : sections)
    if (s.sh_type == SHT_SYMTAB) symtab = &s;
  if (symtab == nullptr)
    for (const auto& s : sections)
      if (s.sh_type == SHT_DYNSYM) symtab = &s;
  if (symtab != nullptr && symtab->sh_link < sections.size() && symtab->sh_entsize == sizeof(ElfW(Sym)) &&
      symtab->sh_size < (256u << 20)) {
    const ElfW(Shdr)& strtab = sections[symtab->sh_link];
    std::vector<ElfW(Sym)> syms(symtab->sh_size / sizeof(ElfW(Sym)));
    std::vector<char> names(strtab.sh_size + 1, '\0');
    if (strtab.sh_size < (256u << 20) && ReadAt(f, static_cast<long>(symtab->sh_offset), syms.data(), syms.size()) &&
        (strtab.sh_size == 0 || ReadAt(f, static_cast<long>(strtab.sh_offset), names.data(), strtab.sh_size))) {
      for (const auto& sym : syms) {
        if (ELF64_ST_TYPE(sym.st_info) != STT_FUNC || sym.st_value == 0 || sym.st_name >= strtab.sh_size) continue;
        tables.symbols.push_back({static_cast<std::uintptr_t>(sym.st_value), static_cast<std::uintptr_t>(sym.st_size),
                                  std::string(&names[sym.st_name])});
      }
      std::sort(tables.symbols.begin(), tables.symbols.end(),
                [](const ElfSymbol& a, const ElfSymbol& b) { return a.start < b.start; });
    }
  }
  std::fclose(f);
  return tables;
}

// The tables of every loaded module, read ahead of time for the crash handler.
struct PreparedModule {
  std::uintptr_t start = 0;
  std::uintptr_t end = 0;
  std::uintptr_t bias = 0;
  std::string path;
  ElfTables tables;  // names demangled
};
// Prepared once per module and kept for the life of the process; each preparation
// publishes a new list of them, and the lists before stay readable too.
std::atomic<const std::vector<const PreparedModule*>*> gPrepared{nullptr};
std::mutex gPrepareMutex;

std::mutex gTablesMutex;
std::map<std::string, ElfTables>& TablesCache() {
  static auto* cache = new std::map<std::string, ElfTables>();
  return *cache;
}

const ElfTables& TablesFor(const std::string& path) {
  std::lock_guard<std::mutex> lock(gTablesMutex);
  auto& cache = TablesCache();
  auto it = cache.find(path);
  if (it == cache.end()) it = cache.emplace(path, LoadElfTables(path)).first;
  return it->second;
}

// The loaded module holding an address: its file and load bias.
struct ModuleHit {
  std::string path;
  std::uintptr_t bias = 0;
  bool found = false;
};

std::string ExecutablePath() {
  char buffer[4096];
  const ssize_t n = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
  return n > 0 ? std::string(buffer, static_cast<std::size_t>(n)) : std::string();
}

ModuleHit FindModule(const void* address) {
  struct Search {
    std::uintptr_t address;
    ModuleHit hit;
  } search{reinterpret_cast<std::uintptr_t>(address), {}};
  dl_iterate_phdr(
      [](dl_phdr_info* info, std::size_t, void* data) -> int {
        auto* s = static_cast<Search*>(data);
        for (int i = 0; i < info->dlpi_phnum; ++i) {
          const auto& ph = info->dlpi_phdr[i];
          if (ph.p_type != PT_LOAD) continue;
          const std::uintptr_t start = info->dlpi_addr + ph.p_vaddr;
          if (s->address >= start && s->address < start + ph.p_memsz) {
            s->hit.bias = info->dlpi_addr;
            s->hit.path = (info->dlpi_name != nullptr && info->dlpi_name[0] != '\0') ? info->dlpi_name : ExecutablePath();
            s->hit.found = true;
            return 1;
          }
        }
        return 0;
      },
      &search);
  return search.hit;
}

std::string Demangle(const char* name) {
  int status = 0;
  char* plain = abi::__cxa_demangle(name, nullptr, nullptr, &status);
  std::string result = (status == 0 && plain != nullptr) ? plain : name;
  std::free(plain);
  return result;
}

bool IsHeadless() {
  if (SDL_WasInit(SDL_INIT_VIDEO) != 0) {
    const char* driver = SDL_GetCurrentVideoDriver();
    return driver == nullptr || std::strcmp(driver, "dummy") == 0 || std::strcmp(driver, "offscreen") == 0;
  }
  const char* driver = std::getenv("SDL_VIDEODRIVER");
  if (driver != nullptr && (std::strcmp(driver, "dummy") == 0 || std::strcmp(driver, "offscreen") == 0)) return true;
  return std::getenv("DISPLAY") == nullptr && std::getenv("WAYLAND_DISPLAY") == nullptr;
}

}  // namespace

void EnsureCrashSignalStack() {
  thread_local ThreadSignalStack tStack;
  if (tStack.checked) return;
  tStack.checked = true;
  stack_t current{};
  if (sigaltstack(nullptr, &current) == 0 && !(current.ss_flags & SS_DISABLE) && current.ss_size >= kAltStackSize) return;
  std::unique_ptr<char[]> memory(new char[kAltStackSize]);
  stack_t stack{};
  stack.ss_sp = memory.get();
  stack.ss_size = kAltStackSize;
  if (sigaltstack(&stack, &tStack.previous) == 0) tStack.memory = std::move(memory);
}

LPTOP_LEVEL_EXCEPTION_FILTER SetUnhandledExceptionFilter(LPTOP_LEVEL_EXCEPTION_FILTER filter) {
  LPTOP_LEVEL_EXCEPTION_FILTER previous = gFilter.exchange(filter);
  if (filter != nullptr && !gInstalled) {
    // The first backtrace loads the unwinder; do it now rather than inside a crash.
    void* warm[4];
    backtrace(warm, 4);
    EnsureCrashSignalStack();
    PrepareCrashSymbols();
    struct sigaction action {};
    action.sa_sigaction = SignalHandler;
    action.sa_flags = SA_SIGINFO | SA_ONSTACK;
    sigemptyset(&action.sa_mask);
    for (int i = 0; i < kSignalCount; ++i) sigaction(kSignals[i], &action, &gPrevious[i]);
    gInstalled = true;
  } else if (filter == nullptr && gInstalled) {
    for (int i = 0; i < kSignalCount; ++i) sigaction(kSignals[i], &gPrevious[i], nullptr);
    gInstalled = false;
  }
  return previous;
}

std::vector<void*> CaptureFaultStack(const CONTEXT& context) {
  void* frames[128];
  const int n = backtrace(frames, 128);
  const auto pc = static_cast<std::uintptr_t>(context.Rip);
  std::vector<void*> result;
  for (int i = 0; i < n; ++i) {
    if (reinterpret_cast<std::uintptr_t>(frames[i]) == pc) {
      result.assign(frames + i, frames + n);
      return result;
    }
  }
  // The unwinder did not pass through the signal frame: start at the fault and keep
  // what it found.
  result.push_back(reinterpret_cast<void*>(pc));
  result.insert(result.end(), frames, frames + n);
  return result;
}

std::vector<void*> CaptureStack() {
  void* frames[128];
  const int n = backtrace(frames, 128);
  return n > 1 ? std::vector<void*>(frames + 1, frames + n) : std::vector<void*>();
}

bool SymbolFromAddress(const void* address, SymbolInfo* info) {
  const ModuleHit module = FindModule(address);
  if (!module.found) return false;
  info->moduleName = module.path;
  info->symbolName.clear();
  info->displacement = 0;
  Dl_info dl{};
  if (dladdr(address, &dl) != 0 && dl.dli_sname != nullptr && dl.dli_saddr != nullptr) {
    info->symbolName = Demangle(dl.dli_sname);
    info->displacement = reinterpret_cast<std::uintptr_t>(address) - reinterpret_cast<std::uintptr_t>(dl.dli_saddr);
    return true;
  }
  // Functions that are not exported: the module's own symbol table knows them.
  const ElfTables& tables = TablesFor(module.path);
  const std::uintptr_t offset = reinterpret_cast<std::uintptr_t>(address) - module.bias;
  auto it = std::upper_bound(tables.symbols.begin(), tables.symbols.end(), offset,
                             [](std::uintptr_t value, const ElfSymbol& s) { return value < s.start; });
  if (it != tables.symbols.begin()) {
    --it;
    if (offset < it->start + std::max<std::uintptr_t>(it->size, 1)) {
      info->symbolName = Demangle(it->name.c_str());
      info->displacement = offset - it->start;
    }
  }
  return true;
}

bool LogicalAddress(const void* address, std::string* moduleName, DWORD* section, DWORD* offset) {
  const ModuleHit module = FindModule(address);
  if (!module.found) return false;
  const ElfTables& tables = TablesFor(module.path);
  const std::uintptr_t rel = reinterpret_cast<std::uintptr_t>(address) - module.bias;
  for (std::size_t i = 1; i < tables.sections.size(); ++i) {
    const ElfSection& s = tables.sections[i];
    if (s.start != 0 && rel >= s.start && rel < s.start + s.size) {
      *moduleName = module.path;
      *section = static_cast<DWORD>(i);
      *offset = static_cast<DWORD>(rel - s.start);
      return true;
    }
  }
  return false;
}

bool CrashReportInProgress() { return gReportOwner.load() != 0; }

void DropOnCrash(int fd) {
  for (auto& slot : gDropOnCrash) {
    int empty = -1;
    if (slot.compare_exchange_strong(empty, fd)) return;
  }
}

void KeepOnCrash(int fd) {
  for (auto& slot : gDropOnCrash) {
    int expected = fd;
    slot.compare_exchange_strong(expected, -1);
  }
}

FixedText& FixedText::Add(const char* text, std::size_t length) {
  const std::size_t room = mCapacity > mSize ? mCapacity - mSize : 0;
  const std::size_t n = length < room ? length : room;
  std::memcpy(mBuffer + mSize, text, n);
  mSize += n;
  return *this;
}

FixedText& FixedText::Add(const char* text) { return text != nullptr ? Add(text, std::strlen(text)) : *this; }

FixedText& FixedText::Hex(std::uint64_t value, int minDigits, bool lowerCase) {
  const char* digits = lowerCase ? "0123456789abcdef" : "0123456789ABCDEF";
  char out[16];
  int n = 0;
  do {
    out[n++] = digits[value & 0xF];
    value >>= 4;
  } while (value != 0 && n < 16);
  while (n < minDigits && n < 16) out[n++] = '0';
  char reversed[16];
  for (int i = 0; i < n; ++i) reversed[i] = out[n - 1 - i];
  return Add(reversed, static_cast<std::size_t>(n));
}

FixedText& FixedText::Dec(std::uint64_t value, int minDigits) {
  char out[20];
  int n = 0;
  do {
    out[n++] = static_cast<char>('0' + value % 10);
    value /= 10;
  } while (value != 0 && n < 20);
  while (n < minDigits && n < 20) out[n++] = '0';
  char reversed[20];
  for (int i = 0; i < n; ++i) reversed[i] = out[n - 1 - i];
  return Add(reversed, static_cast<std::size_t>(n));
}

namespace {

struct UnwindState {
  CrashFrame* frames;
  int max;
  int count;
};

_Unwind_Reason_Code CollectFrame(_Unwind_Context* context, void* data) {
  auto* state = static_cast<UnwindState*>(data);
  if (state->count >= state->max) return _URC_END_OF_STACK;
  int beforeInstruction = 0;
  const std::uintptr_t pc = _Unwind_GetIPInfo(context, &beforeInstruction);
  if (pc == 0) return _URC_END_OF_STACK;
  CrashFrame& f = state->frames[state->count++];
  f.pc = pc;
  f.frame = static_cast<std::uintptr_t>(_Unwind_GetCFA(context));
  return _URC_NO_REASON;
}

// Copies memory of this process that may not be mapped: the kernel checks the addresses,
// so a bad one gives an error instead of a second fault.
bool ReadOwnMemory(std::uintptr_t address, void* out, std::size_t size) {
  iovec local{out, size};
  iovec remote{reinterpret_cast<void*>(address), size};
  return process_vm_readv(getpid(), &local, 1, &remote, 1, 0) == static_cast<ssize_t>(size);
}

}  // namespace

int CaptureCrashFrames(const CONTEXT& context, CrashFrame* frames, int maxFrames) {
  static CrashFrame raw[256];
  UnwindState state{raw, 256, 0};
  _Unwind_Backtrace(&CollectFrame, &state);
  int first = -1;
  for (int i = 0; i < state.count && first < 0; ++i)
    if (raw[i].pc == context.Rip) first = i;
  int n = 0;
  if (first < 0) {
    // The unwinder did not pass through the signal frame: start at the fault and keep
    // what it found.
    if (maxFrames > 0) frames[n++] = CrashFrame{static_cast<std::uintptr_t>(context.Rip), static_cast<std::uintptr_t>(context.Rsp), {}};
    first = 0;
  }
  for (int i = first; i < state.count && n < maxFrames; ++i) frames[n++] = raw[i];
  for (int i = 0; i < n; ++i) {
    if (!ReadOwnMemory(frames[i].frame, frames[i].params, sizeof frames[i].params))
      for (auto& p : frames[i].params) p = 0;
  }
  return n;
}

void PrepareCrashSymbols() {
  std::lock_guard<std::mutex> lock(gPrepareMutex);
  static auto* modules = new std::map<std::string, PreparedModule>();
  static auto* lists = new std::vector<std::unique_ptr<std::vector<const PreparedModule*>>>();
  struct Loaded {
    std::uintptr_t start = UINTPTR_MAX, end = 0, bias = 0;
    std::string path;
  };
  std::vector<Loaded> loaded;
  dl_iterate_phdr(
      [](dl_phdr_info* info, std::size_t, void* data) -> int {
        Loaded m;
        for (int i = 0; i < info->dlpi_phnum; ++i) {
          const auto& ph = info->dlpi_phdr[i];
          if (ph.p_type != PT_LOAD) continue;
          m.start = std::min<std::uintptr_t>(m.start, info->dlpi_addr + ph.p_vaddr);
          m.end = std::max<std::uintptr_t>(m.end, info->dlpi_addr + ph.p_vaddr + ph.p_memsz);
        }
        m.bias = info->dlpi_addr;
        m.path = (info->dlpi_name != nullptr && info->dlpi_name[0] != '\0') ? info->dlpi_name : ExecutablePath();
        if (m.start < m.end && !m.path.empty() && m.path.find("linux-vdso") == std::string::npos)
          static_cast<std::vector<Loaded>*>(data)->push_back(std::move(m));
        return 0;
      },
      &loaded);
  auto list = std::make_unique<std::vector<const PreparedModule*>>();
  for (const Loaded& l : loaded) {
    const std::string key = l.path + "@" + std::to_string(l.bias);
    auto it = modules->find(key);
    if (it == modules->end()) {
      PreparedModule m;
      m.start = l.start;
      m.end = l.end;
      m.bias = l.bias;
      m.path = l.path;
      m.tables = LoadElfTables(l.path);
      for (ElfSymbol& symbol : m.tables.symbols)
        if (symbol.name.compare(0, 2, "_Z") == 0) symbol.name = Demangle(symbol.name.c_str());
      it = modules->emplace(key, std::move(m)).first;
    }
    list->push_back(&it->second);
  }
  gPrepared.store(list.get());
  lists->push_back(std::move(list));
}

bool CrashSymbolFor(std::uintptr_t address, CrashSymbol* symbol) {
  *symbol = CrashSymbol{};
  const std::vector<const PreparedModule*>* modules = gPrepared.load();
  if (modules == nullptr) return false;
  for (const PreparedModule* prepared : *modules) {
    const PreparedModule& m = *prepared;
    if (address < m.start || address >= m.end) continue;
    symbol->module = m.path.c_str();
    const std::uintptr_t rel = address - m.bias;
    for (std::size_t i = 1; i < m.tables.sections.size(); ++i) {
      const ElfSection& s = m.tables.sections[i];
      if (s.start != 0 && rel >= s.start && rel < s.start + s.size) {
        symbol->section = static_cast<DWORD>(i);
        symbol->offset = static_cast<DWORD>(rel - s.start);
        break;
      }
    }
    const auto& symbols = m.tables.symbols;
    std::size_t lo = 0, hi = symbols.size();
    while (lo < hi) {
      const std::size_t mid = lo + (hi - lo) / 2;
      if (symbols[mid].start <= rel) lo = mid + 1;
      else hi = mid;
    }
    if (lo > 0) {
      const ElfSymbol& hit = symbols[lo - 1];
      if (rel < hit.start + std::max<std::uintptr_t>(hit.size, 1)) {
        symbol->name = hit.name.c_str();
        symbol->displacement = rel - hit.start;
      }
    }
    return true;
  }
  return false;
}

bool WriteFileFromSignal(const char* path, const FilePiece* pieces, int count) {
  char scratch[4096];
  FixedText temp(scratch, sizeof scratch - 1);
  temp.Add(path).Add(".tmp");
  if (temp.Size() >= sizeof scratch - 1) return false;
  scratch[temp.Size()] = '\0';
  const int fd = open(scratch, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  bool ok = true;
  for (int i = 0; i < count && ok; ++i) {
    const char* data = static_cast<const char*>(pieces[i].data);
    std::size_t left = pieces[i].size;
    while (left > 0) {
      const ssize_t n = write(fd, data, left);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) {
        ok = false;
        break;
      }
      data += n;
      left -= static_cast<std::size_t>(n);
    }
  }
  ok = fsync(fd) == 0 && ok;
  ok = close(fd) == 0 && ok;
  if (ok && rename(scratch, path) == 0) return true;
  unlink(scratch);
  return false;
}


bool SpawnFromSignal(const char* path, char* const argv[]) {
  const pid_t child = _Fork();
  if (child < 0) return false;
  if (child == 0) {
    // The handler runs with signals blocked; the new program starts with none blocked.
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
    // Its own session: a terminal's Ctrl+C or the end of the crashed process's group
    // does not take the report with it.
    setsid();
    execve(path, argv, environ);
    _exit(127);
  }
  return true;
}

void WriteToStandardError(const char* text, std::size_t size) {
  while (size > 0) {
    const ssize_t n = write(2, text, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;
    text += n;
    size -= static_cast<std::size_t>(n);
  }
}

DWORD CrashThreadId() { return GetCurrentThreadId(); }

std::uint64_t CrashClockMs() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<std::uint64_t>(now.tv_sec) * 1000u + static_cast<std::uint64_t>(now.tv_nsec) / 1000000u;
}

bool CrashWorkingFolder(char* buffer, std::size_t size) { return getcwd(buffer, size) != nullptr; }

bool GetVersionExA(OSVERSIONINFOA* info) {
  utsname name{};
  if (uname(&name) != 0) return false;
  unsigned major = 0, minor = 0, build = 0;
  std::sscanf(name.release, "%u.%u.%u", &major, &minor, &build);
  info->dwMajorVersion = major;
  info->dwMinorVersion = minor;
  info->dwBuildNumber = build;
  info->isNT = true;
  info->szCSDVersion = std::string(name.sysname) + " " + name.release + " " + name.machine;
  return true;
}

bool CopyTextToClipboard(const std::string& text) {
  if (SDL_WasInit(SDL_INIT_VIDEO) == 0 || IsHeadless()) return false;
  return SDL_SetClipboardText(text.c_str()) == 0;
}

int ShowButtonBox(const std::string& caption, const std::string& text, const std::vector<std::string>& buttons,
                  int defaultButton) {
  if (!IsHeadless() && !buttons.empty()) {
    std::vector<SDL_MessageBoxButtonData> data(buttons.size());
    for (std::size_t i = 0; i < buttons.size(); ++i) {
      data[i].buttonid = static_cast<int>(i);
      data[i].text = buttons[i].c_str();
      data[i].flags = static_cast<int>(i) == defaultButton ? SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT : 0;
    }
    SDL_MessageBoxData box{};
    box.flags = SDL_MESSAGEBOX_ERROR;
    box.title = caption.c_str();
    box.message = text.c_str();
    box.numbuttons = static_cast<int>(data.size());
    box.buttons = data.data();
    int chosen = -1;
    if (SDL_ShowMessageBox(&box, &chosen) == 0) return chosen < 0 ? defaultButton : chosen;
  }
  std::fprintf(stderr, "%s\n%s\n", caption.c_str(), text.c_str());
  std::fflush(stderr);
  return defaultButton;
}

}  // namespace plat
