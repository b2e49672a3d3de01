// The crash report: the facts kept ready for the signal handler, the report it writes from
// them, the report process's command line, and the upload.
#include "framework/core/CrashCatcher.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <utility>
#include <vector>

#include "framework/core/Common.h"
#include "framework/core/CrashReportWindow.h"
#include "framework/core/Demo.h"
#include "framework/core/Globals.h"
#include "framework/core/OrvoAppBase.h"
#include "platform/Folders.h"
#include "platform/MessageBox.h"
#include "platform/Module.h"
#include "platform/Time.h"

namespace Orvo {

const wchar_t CrashCatcher::kHeadline[] = L"An unexpected error has occured!";
const wchar_t CrashCatcher::kRequestText[] =
    L"Please help out by providing as much information as you can about this crash.";
const wchar_t CrashCatcher::kConnectFailedText[] = L"Failed to connect to server.";
const char CrashCatcher::kBoundary[] = "---------------------------7d3e1f30eec";

namespace {

struct ExceptionNameEntry {
  plat::DWORD code;
  const char* name;
};

// Looked up in this order.
constexpr ExceptionNameEntry kExceptionNames[] = {
    {0x40000005, "Segment Notification"},   {0x80000003, "Breakpoint"},
    {0x80000004, "Single step"},            {0x00000000, "Wait 0"},
    {0x00000080, "Abandoned Wait 0"},       {0x000000C0, "User APC"},
    {0x00000102, "Timeout"},                {0x00000103, "Pending"},
    {0x80000001, "Guard Page Violation"},   {0x80000002, "Data Type Misalignment"},
    {0xC0000005, "Access Violation"},       {0xC0000006, "In Page Error"},
    {0xC0000017, "No Memory"},              {0xC000001D, "Illegal Instruction"},
    {0xC0000025, "Noncontinuable Exception"}, {0xC0000026, "Invalid Disposition"},
    {0xC000008C, "Array Bounds Exceeded"},  {0xC000008D, "Float Denormal Operand"},
    {0xC000008E, "Divide by Zero"},         {0xC000008F, "Float Inexact Result"},
    {0xC0000090, "Float Invalid Operation"}, {0xC0000091, "Float Overflow"},
    {0xC0000092, "Float Stack Check"},      {0xC0000093, "Float Underflow"},
    {0xC0000094, "Integer Divide by Zero"}, {0xC0000095, "Integer Overflow"},
    {0xC0000096, "Privileged Instruction"}, {0xC00000FD, "Stack Overflow"},
    {0xC000013A, "Ctrl+C Exit"},
};

unsigned long long Addr(const void* p) { return static_cast<unsigned long long>(reinterpret_cast<std::uintptr_t>(p)); }

// Runs at process exit: the filter that was there before is installed again.
void RemoveFilterAtExit() { CrashCatcher::RemoveFilter(); }

plat::LPTOP_LEVEL_EXCEPTION_FILTER gPreviousFilter = nullptr;

// The process-wide objects, the filter among them, are built before the entry function
// runs by whichever program links the crash catcher.
struct GlobalsBeforeEntry {
  GlobalsBeforeEntry() { EnsureFrameworkGlobals(); }
} gGlobalsBeforeEntry;

std::string FormField(const std::string& boundary, const std::string& name, const std::string& value) {
  return "--" + boundary + "\r\nContent-Disposition: form-data; name=\"" + name + "\"\r\n\r\n" + value + "\r\n";
}

// ---- Memory the signal handler writes from, reserved before any crash ----

constexpr int kMaxArgs = 64;

// What the main thread keeps ready: two copies, so the handler never reads one that is
// being rewritten. Plain data, zero before any initialiser runs (the facts are first
// taken by a static initialiser of this file).
struct Facts {
  char text[16384];  // the system facts, then the application's
  std::size_t systemSize;
  std::size_t appSize;
  std::uint64_t loadedAtMs;  // start-up on the crash clock (0: no application)
  char args[32768];  // the report process's prepared arguments, NUL-separated
  int argOffsets[kMaxArgs];
  int argCount;
  int recordingDemoArg;  // the argument naming the demo being recorded (-1: none)
};
Facts gFacts[2];
std::atomic<int> gCurrentFacts{-1};

char gReportProgram[4096];  // empty: no report process
char gReport[256 * 1024];
char gTitle[64];
char gFolder[4096];
char gReportArg[4200];
char gTitleArg[96];
char* gArgv[kMaxArgs + 4];
plat::CrashFrame gFrames[64];

// Copies `text` into a fixed buffer, cut to fit; returns the length kept.
std::size_t CopyCut(char* out, std::size_t capacity, const std::string& text) {
  const std::size_t n = std::min(text.size(), capacity);
  std::memcpy(out, text.data(), n);
  return n;
}

// Rewrites the "hh:mm:ss" after "Time Loaded: " to the time at the crash.
void PatchTimeLoaded(char* text, std::size_t size, std::uint64_t seconds) {
  static const char kLabel[] = "Time Loaded: ";
  const std::size_t label = sizeof kLabel - 1;
  for (std::size_t i = 0; i + label + 8 <= size; ++i) {
    if (std::memcmp(text + i, kLabel, label) != 0) continue;
    char* v = text + i + label;
    if (v[2] != ':' || v[5] != ':' || seconds / 3600 > 99) return;
    const std::uint64_t parts[3] = {seconds / 3600, seconds / 60 % 60, seconds % 60};
    for (int p = 0; p < 3; ++p) {
      v[p * 3] = static_cast<char>('0' + parts[p] / 10);
      v[p * 3 + 1] = static_cast<char>('0' + parts[p] % 10);
    }
    return;
  }
}

// The file name after the last '/' or '\\' (signal-safe).
const char* FileNamePart(const char* path) {
  const char* name = path;
  for (const char* p = path; *p != '\0'; ++p)
    if (*p == '/' || *p == '\\') name = p + 1;
  return name;
}

// The value of `arg` when it is `name` followed by the value.
bool OptionValue(const std::string& arg, const char* name, std::string* value) {
  const std::size_t n = std::strlen(name);
  if (arg.compare(0, n, name) != 0) return false;
  *value = arg.substr(n);
  return true;
}

}  // namespace

CrashCatcher::CrashCatcher() {
  if (const char* host = std::getenv("QUORVANE_REPORT_HOST")) mReportHost = host;
}

CrashCatcher& CrashCatcher::Get() {
  static CrashCatcher catcher;
  return catcher;
}

void CrashCatcher::InstallFilter() {
  static bool atExitRegistered = false;
  gPreviousFilter = plat::SetUnhandledExceptionFilter(&CrashCatcher::FilterEntry);
  if (!atExitRegistered) {
    atExitRegistered = true;
    std::atexit(RemoveFilterAtExit);
  }
  Get().RefreshFacts(true);
}

void CrashCatcher::RemoveFilter() { plat::SetUnhandledExceptionFilter(gPreviousFilter); }

void CrashCatcher::SetApplication(OrvoAppBase* app) {
  mApp = app;
  mSystemInfo = SystemInfoText(app);
  RefreshFacts(false);
}

void CrashCatcher::EnableReportProcess() {
  const std::string program = plat::GetModuleFileName();
  gReportProgram[CopyCut(gReportProgram, sizeof gReportProgram - 1, program)] = '\0';
  RefreshFacts(false);
}

void CrashCatcher::RefreshFacts(bool symbols) {
  if (mSystemInfo.empty()) mSystemInfo = SystemInfoText(mApp);
  std::string product, version, demo, appInfo;
  std::map<std::string, std::string> fields;
  bool copyToClipboard = true;
  bool demoIsRecording = false;
  if (mApp != nullptr) {
    product = mApp->mProductName;
    version = mApp->mProductVersion;
    fields = mApp->GetCrashReportFields();
    appInfo = mApp->GetCrashInfoText();
    Demo* d = mApp->mDemo;
    if (d != nullptr && d->IsRecording()) demo = d->GetFileName(), demoIsRecording = true;
    const std::string hookDemo = mApp->GetCrashReportDemoFile();
    if (!hookDemo.empty()) demo = hookDemo, demoIsRecording = false;
    copyToClipboard = d == nullptr || !d->IsPlaying();
  }

  const int current = gCurrentFacts.load();
  Facts& f = gFacts[current == 0 ? 1 : 0];
  f.systemSize = CopyCut(f.text, sizeof f.text, mSystemInfo);
  f.appSize = CopyCut(f.text + f.systemSize, sizeof f.text - f.systemSize, appInfo);
  f.loadedAtMs = 0;
  if (mApp != nullptr) {
    const std::uint64_t running = plat::GetTickCount() - mApp->mConstructionTime;
    const std::uint64_t now = plat::CrashClockMs();
    f.loadedAtMs = now > running ? now - running : 1;
  }
  std::vector<std::string> args = {
      "-crashhost=" + mReportHost,
      std::string("-crashupload=") + (mUploadAllowed ? "1" : "0"),
      std::string("-crashapp=") + (mApp != nullptr ? "1" : "0"),
      std::string("-crashclip=") + (copyToClipboard ? "1" : "0"),
      "-crashprod=" + product,
      "-crashversion=" + version,
  };
  if (!demo.empty()) args.push_back("-crashdemo=" + demo);
  for (const auto& [name, value] : fields) args.push_back("-crashfield=" + name + "=" + value);
  std::size_t used = 0;
  f.argCount = 0;
  f.recordingDemoArg = -1;
  for (const std::string& arg : args) {
    if (f.argCount >= kMaxArgs || used + arg.size() + 1 > sizeof f.args) break;
    if (demoIsRecording && arg.compare(0, 11, "-crashdemo=") == 0) f.recordingDemoArg = f.argCount;
    f.argOffsets[f.argCount++] = static_cast<int>(used);
    std::memcpy(f.args + used, arg.c_str(), arg.size() + 1);
    used += arg.size() + 1;
  }
  gCurrentFacts.store(&f == &gFacts[0] ? 0 : 1);
  mLastRefresh = plat::GetTickCount();
  if (symbols) plat::PrepareCrashSymbols();
}

void CrashCatcher::RefreshFactsEverySecond() {
  if (plat::GetTickCount() - mLastRefresh >= 1000) RefreshFacts(false);
}

long CrashCatcher::FilterEntry(plat::EXCEPTION_POINTERS* pointers) {
  Get().WriteReportFromSignal(pointers);
  return plat::EXCEPTION_CONTINUE_SEARCH;
}

const char* CrashCatcher::ExceptionName(plat::DWORD code) {
  for (const auto& e : kExceptionNames)
    if (e.code == code) return e.name;
  return nullptr;
}

std::string CrashCatcher::ExceptionLine(plat::DWORD code, const void* address, plat::DWORD threadId) {
  if (const char* name = ExceptionName(code))
    return FormatString("Exception: %s (code 0x%x) at address %08llX in thread %X\r\n", name, code, Addr(address),
                        threadId);
  return FormatString("Unknown exception: (code 0x%x) at address %08llX in thread %X\r\n", code, Addr(address),
                      threadId);
}

std::string CrashCatcher::SystemInfoText(OrvoAppBase* app) {
  std::string text;
  plat::OSVERSIONINFOA version;
  if (plat::GetVersionExA(&version)) {
    text += "Windows Ver: ";
    text += version.isNT ? "NT " : "9x ";
    text += FormatString("%d.%d", static_cast<int>(version.dwMajorVersion), static_cast<int>(version.dwMinorVersion));
    text += " " + version.szCSDVersion + " " + FormatString("Build %d", static_cast<int>(version.dwBuildNumber)) + "\r\n";
  }
  if (app != nullptr) {
    // Each library is loaded, its file named, its version read, and freed again.
    for (const auto& [label, name] : {std::pair{"DDraw Ver: ", "ddraw.dll"}, std::pair{"DSound Ver: ", "dsound.dll"}}) {
      std::string versionText;
      if (plat::HMODULE module = plat::LoadLibrary(name)) {
        versionText = app->GetProductVersion(plat::GetModuleFileName(module));
        plat::FreeLibrary(module);
      }
      text += label + versionText + "\r\n";
    }
  }
  return text;
}

bool CrashCatcher::SaveReportFile(const std::string& text) {
  return WriteFileAtomically("crash.txt", {{text.data(), text.size()}, {"\n", 1}});
}

// Everything here is async-signal-safe: fixed memory, no lock, only system calls.
void CrashCatcher::WriteReportFromSignal(plat::EXCEPTION_POINTERS* pointers) {
  const plat::EXCEPTION_RECORD& record = *pointers->ExceptionRecord;
  const plat::CONTEXT& c = *pointers->ContextRecord;
  const auto address = reinterpret_cast<std::uintptr_t>(record.ExceptionAddress);
  plat::FixedText r(gReport, sizeof gReport);

  if (const char* name = ExceptionName(record.ExceptionCode)) {
    r.Add("Exception: ").Add(name).Add(" (code 0x").Hex(record.ExceptionCode, 1, true).Add(")");
  } else {
    r.Add("Unknown exception: (code 0x").Hex(record.ExceptionCode, 1, true).Add(")");
  }
  r.Add(" at address ").Hex(address, 8).Add(" in thread ").Hex(plat::CrashThreadId(), 1).Add("\r\n");

  plat::CrashSymbol at;
  plat::CrashSymbolFor(address, &at);
  r.Add("Module: ").Add(FileNamePart(at.module)).Add("\r\n");
  r.Add("Logical Address: ").Hex(at.section, 4).Add(":").Hex(at.offset, 8).Add("\r\n\r\n");
  plat::FixedText title(gTitle, sizeof gTitle - 1);
  title.Add("Exception at ").Hex(at.section, 4).Add(":").Hex(at.offset, 8);
  gTitle[title.Size()] = '\0';

  // The stack: frame address, program counter, symbol and displacement (or the logical
  // address and module), then the four stack words of the frame.
  const int frames = plat::CaptureCrashFrames(c, gFrames, 64);
  for (int i = 0; i < frames; ++i) {
    const plat::CrashFrame& f = gFrames[i];
    plat::CrashSymbol s;
    plat::CrashSymbolFor(f.pc, &s);
    r.Hex(f.frame, 16).Add(" ").Hex(f.pc, 16).Add(" ");
    if (s.name != nullptr) {
      r.Add(s.name).Add("+").Hex(s.displacement, 1);
    } else {
      r.Hex(s.section, 4).Add(":").Hex(s.offset, 8).Add(" ").Add(FileNamePart(s.module));
    }
    r.Add("\r\nParams: ");
    for (int p = 0; p < 4; ++p) r.Hex(f.params[p], 16).Add(p < 3 ? " " : "\r\n\r\n");
  }
  r.Add("\r\n");

  r.Add("RAX:").Hex(c.Rax, 16).Add(" RBX:").Hex(c.Rbx, 16).Add(" RCX:").Hex(c.Rcx, 16).Add(" RDX:").Hex(c.Rdx, 16);
  r.Add(" RSI:").Hex(c.Rsi, 16).Add(" RDI:").Hex(c.Rdi, 16).Add("\r\n");
  r.Add("RIP:").Hex(c.Rip, 16).Add(" RSP:").Hex(c.Rsp, 16).Add("  RBP:").Hex(c.Rbp, 16).Add("\r\n");
  r.Add("R8:").Hex(c.R8, 16).Add(" R9:").Hex(c.R9, 16).Add(" R10:").Hex(c.R10, 16).Add(" R11:").Hex(c.R11, 16).Add("\r\n");
  r.Add("R12:").Hex(c.R12, 16).Add(" R13:").Hex(c.R13, 16).Add(" R14:").Hex(c.R14, 16).Add(" R15:").Hex(c.R15, 16);
  r.Add("\r\n");
  r.Add("CS:").Hex(c.SegCs, 4).Add(" SS:").Hex(c.SegSs, 4).Add(" DS:").Hex(c.SegDs, 4).Add(" ES:").Hex(c.SegEs, 4);
  r.Add(" FS:").Hex(c.SegFs, 4).Add(" GS:").Hex(c.SegGs, 4).Add("\r\n");
  r.Add("Flags:").Hex(c.EFlags, 8).Add("\r\n\r\n");

  const int which = gCurrentFacts.load();
  const Facts* f = which >= 0 ? &gFacts[which] : nullptr;
  if (f != nullptr) {
    r.Add(f->text, f->systemSize);
    if (f->appSize > 0) {
      r.Add("\r\n");
      const std::size_t start = r.Size();
      r.Add(f->text + f->systemSize, f->appSize);
      if (f->loadedAtMs != 0) {
        const std::uint64_t now = plat::CrashClockMs();
        PatchTimeLoaded(gReport + start, r.Size() - start, now > f->loadedAtMs ? (now - f->loadedAtMs) / 1000 : 0);
      }
    }
  }
  const plat::FilePiece report[] = {{r.Data(), r.Size()}, {"\n", 1}};
  plat::WriteFileFromSignal("crash.txt", report, 2);

  // A demo being recorded is saved up to this update; one that could not be saved is not
  // attached (the file may be an older one).
  const bool demoSaved = mApp != nullptr && mApp->mDemo != nullptr && mApp->mDemo->WriteDemoFileFromSignal();

  if (!mShowWindow) return;
  if (gReportProgram[0] != '\0' && f != nullptr && plat::CrashWorkingFolder(gFolder, sizeof gFolder)) {
    plat::FixedText reportArg(gReportArg, sizeof gReportArg - 1);
    reportArg.Add("-crashreport=").Add(gFolder).Add("/crash.txt");
    gReportArg[reportArg.Size()] = '\0';
    plat::FixedText titleArg(gTitleArg, sizeof gTitleArg - 1);
    titleArg.Add("-crashtitle=").Add(gTitle);
    gTitleArg[titleArg.Size()] = '\0';
    int n = 0;
    gArgv[n++] = gReportProgram;
    gArgv[n++] = gReportArg;
    gArgv[n++] = gTitleArg;
    for (int i = 0; i < f->argCount; ++i)
      if (i != f->recordingDemoArg || demoSaved) gArgv[n++] = const_cast<char*>(f->args + f->argOffsets[i]);
    gArgv[n] = nullptr;
    if (plat::SpawnFromSignal(gReportProgram, gArgv)) return;
  }
  // No report window: the report goes to stderr, as a headless message box would show it.
  static const char kCaption[] = "Fatal Error!\nAn unexpected error has occured!\n\n";
  plat::WriteToStandardError(kCaption, sizeof kCaption - 1);
  plat::WriteToStandardError(r.Data(), r.Size());
  plat::WriteToStandardError("\n", 1);
}

std::vector<std::string> CrashCatcher::CrashWindowButtons() const {
  if (UploadOffered()) return {"Send Report", "Close Now"};
  return {"Close Now"};
}

std::string CrashCatcher::BuildUploadRequest() const {
  std::vector<std::pair<std::string, std::string>> fields(mExtraFields.begin(), mExtraFields.end());
  fields.insert(fields.end(), {{"prod", mProductName},
                               {"version", mProductVersion},
                               {"usertext", mUserText},
                               {"errortitle", mErrorTitle},
                               {"errortext", mErrorText}});
  Buffer demo;
  if (mAttachDemo) {
    Demo reader;
    reader.ReadBufferFromFile(mDemoAttachmentName, demo, true);
  }
  const std::string demoBytes =
      demo.GetDataLen() > 0 ? std::string(reinterpret_cast<const char*>(demo.GetDataPtr()), demo.GetDataLen()) : "";

  // The boundary must occur in no value (the user's text and the demo are anything at all),
  // or the form would end early: the usual one gets a number added until none holds it.
  std::string boundary = kBoundary;
  for (int n = 0;; ++n) {
    bool used = demoBytes.find(boundary) != std::string::npos;
    for (const auto& field : fields) used = used || field.second.find(boundary) != std::string::npos;
    if (!used) break;
    boundary = kBoundary + std::to_string(n);
  }

  std::string body;
  for (const auto& [name, value] : fields) body += FormField(boundary, name, value);
  if (mAttachDemo) {
    body += "--" + boundary +
            "\r\nContent-Disposition: form-data; name=\"demofile\"; filename=\"zendro.dmo\"\r\n"
            "Content-Type: application/octet-stream\r\n\r\n" +
            demoBytes + "\r\n";
  }
  body += "--" + boundary + "--\r\n";

  std::string request = "POST /error_report.php HTTP/1.1\r\nContent-Type: multipart/form-data; boundary=" + boundary +
                        "\r\nUser-Agent: Mozilla/4.0 (compatible; zendro)\r\n";
  request += "Host: " + mReportHost + "\r\n";
  request += FormatString("Content-Length: %d\r\n", static_cast<int>(body.size()));
  request += "Connection: close\r\n\r\n";
  return request + body;
}

bool CrashCatcher::UploadReport() {
  if (mReportHost.empty()) return false;
  mReportTransfer.SendRequest(mReportHost, BuildUploadRequest());
  return true;
}

bool CrashCatcher::RunReportMode(const std::vector<std::string>& args) {
  CrashCatcher& c = Get();
  std::string reportFile;
  std::string stranger;  // the first option that is not the report's
  for (const std::string& arg : args) {
    std::string v;
    if (OptionValue(arg, "-crashreport=", &v)) {
      reportFile = v;
    } else if (OptionValue(arg, "-crashtitle=", &v)) {
      c.mErrorTitle = v;
    } else if (OptionValue(arg, "-crashhost=", &v)) {
      c.mReportHost = v;
    } else if (OptionValue(arg, "-crashupload=", &v)) {
      c.mUploadAllowed = v == "1";
    } else if (OptionValue(arg, "-crashapp=", &v)) {
      c.mHadApplication = v == "1";
    } else if (OptionValue(arg, "-crashclip=", &v)) {
      c.mCopyToClipboard = v == "1";
    } else if (OptionValue(arg, "-crashprod=", &v)) {
      c.mProductName = v;
    } else if (OptionValue(arg, "-crashversion=", &v)) {
      c.mProductVersion = v;
    } else if (OptionValue(arg, "-crashdemo=", &v)) {
      c.mDemoAttachmentName = v;
      c.mAttachDemo = !v.empty();
    } else if (OptionValue(arg, "-crashfield=", &v)) {
      const std::size_t eq = v.find('=');
      c.mExtraFields[v.substr(0, eq)] = eq == std::string::npos ? std::string() : v.substr(eq + 1);
    } else if (stranger.empty()) {
      stranger = arg.substr(0, arg.find('='));
    }
  }
  if (reportFile.empty()) return false;
  // The report process has the options above and no others: one of the game's (a "-crash"
  // or a demo to record) has no place in it and is refused as the game refuses a stranger.
  if (!stranger.empty()) {
    constexpr std::size_t kMaxShown = 200;
    if (stranger.size() > kMaxShown) stranger = stranger.substr(0, kMaxShown) + "...";
    plat::MessageBoxA(nullptr, ("Invalid command line parameter: " + stranger).c_str(), "FATAL ERROR",
                      plat::MB_ICONERROR);
    return true;
  }
  // The report process never starts another one, nor writes a report over the one it
  // shows: a fault in it takes the default course.
  gReportProgram[0] = '\0';
  c.mShowWindow = false;
  RemoveFilter();

  std::vector<std::uint8_t> bytes;
  constexpr std::size_t kMaxReportBytes = 4u << 20;
  std::string why;
  if (!ReadWholeFile(reportFile, &bytes, kMaxReportBytes, &why)) {
    std::fprintf(stderr, "Cannot read the crash report %s: %s\n", reportFile.c_str(), why.c_str());
    return true;
  }
  c.mErrorText.assign(bytes.begin(), bytes.end());
  if (!c.mErrorText.empty() && c.mErrorText.back() == '\n' &&
      (c.mErrorText.size() < 2 || c.mErrorText[c.mErrorText.size() - 2] != '\r'))
    c.mErrorText.pop_back();
  RunCrashReportWindow(c, false);
  return true;
}

}  // namespace Orvo
