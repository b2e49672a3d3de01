// The crash report: its text, the file, the windows and the upload.
#include "framework/core/CrashCatcher.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

#include "framework/core/Common.h"
#include "framework/core/Demo.h"
#include "framework/core/Globals.h"
#include "framework/core/OrvoAppBase.h"
#include "platform/Threads.h"

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

std::string FormField(const std::string& name, const std::string& value) {
  return std::string("--") + CrashCatcher::kBoundary + "\r\nContent-Disposition: form-data; name=\"" + name +
         "\"\r\n\r\n" + value + "\r\n";
}

}  // namespace

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
}

void CrashCatcher::RemoveFilter() { plat::SetUnhandledExceptionFilter(gPreviousFilter); }

long CrashCatcher::FilterEntry(plat::EXCEPTION_POINTERS* pointers) {
  CrashCatcher& catcher = Get();
  if (catcher.mApp != nullptr) catcher.mApp->HideApp();
  catcher.BuildReport(pointers);
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

std::string CrashCatcher::StackText(const std::vector<void*>& frames) {
  std::string text;
  for (void* pc : frames) {
    plat::SymbolInfo symbol;
    if (plat::SymbolFromAddress(pc, &symbol) && !symbol.symbolName.empty()) {
      text += FormatString("%08llX %s+%llX\r\n", Addr(pc), symbol.symbolName.c_str(),
                           static_cast<unsigned long long>(symbol.displacement));
    } else {
      std::string module;
      plat::DWORD section = 0, offset = 0;
      plat::LogicalAddress(pc, &module, &section, &offset);
      text += FormatString("%08llX %04X:%08X %s\r\n", Addr(pc), section, offset, GetFileNamePart(module).c_str());
    }
  }
  return text;
}

std::string CrashCatcher::RegisterText(const plat::CONTEXT& c) {
  using u = unsigned long long;
  std::string text;
  text += FormatString("RAX:%016llX RBX:%016llX RCX:%016llX RDX:%016llX RSI:%016llX RDI:%016llX\r\n", u(c.Rax),
                       u(c.Rbx), u(c.Rcx), u(c.Rdx), u(c.Rsi), u(c.Rdi));
  text += FormatString("RIP:%016llX RSP:%016llX  RBP:%016llX\r\n", u(c.Rip), u(c.Rsp), u(c.Rbp));
  text += FormatString("R8:%016llX R9:%016llX R10:%016llX R11:%016llX\r\n", u(c.R8), u(c.R9), u(c.R10), u(c.R11));
  text += FormatString("R12:%016llX R13:%016llX R14:%016llX R15:%016llX\r\n", u(c.R12), u(c.R13), u(c.R14), u(c.R15));
  text += FormatString("CS:%04X SS:%04X DS:%04X ES:%04X FS:%04X GS:%04X\r\n", c.SegCs, c.SegSs, c.SegDs, c.SegEs,
                       c.SegFs, c.SegGs);
  text += FormatString("Flags:%08llX\r\n", u(c.EFlags));
  return text;
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
    text += "DDraw Ver: " + app->GetProductVersion("ddraw.dll") + "\r\n";
    text += "DSound Ver: " + app->GetProductVersion("dsound.dll") + "\r\n";
  }
  return text;
}

bool CrashCatcher::SaveReportFile(const std::string& text) {
  std::FILE* f = std::fopen("crash.txt", "wb");
  if (f == nullptr) return false;
  const std::string line = text + "\n";
  const bool ok = std::fwrite(line.data(), 1, line.size(), f) == line.size();
  return std::fclose(f) == 0 && ok;
}

void CrashCatcher::BuildReport(plat::EXCEPTION_POINTERS* pointers) {
  const plat::EXCEPTION_RECORD& record = *pointers->ExceptionRecord;
  const plat::CONTEXT& context = *pointers->ContextRecord;

  std::string report = ExceptionLine(record.ExceptionCode, record.ExceptionAddress, plat::GetCurrentThreadId());

  std::string module;
  plat::DWORD section = 0, offset = 0;
  plat::LogicalAddress(record.ExceptionAddress, &module, &section, &offset);
  report += "Module: " + GetFileNamePart(module) + "\r\n";
  report += FormatString("Logical Address: %04X:%08X\r\n", section, offset);
  report += "\r\n";
  mErrorTitle = FormatString("Exception at %04X:%08X", section, offset);

  report += StackText(plat::CaptureFaultStack(context));
  report += "\r\n";
  report += RegisterText(context);
  report += "\r\n";
  report += SystemInfoText(mApp);

  if (mApp != nullptr) {
    const std::string info = mApp->GetCrashInfoText();
    if (!info.empty()) report += "\r\n" + info;
    if (mApp->mDemo == nullptr || !mApp->mDemo->IsPlaying()) plat::CopyTextToClipboard(report);
  }
  mErrorText = report;
  SaveReportFile(report);

  if (mApp != nullptr) {
    Demo* demo = mApp->mDemo;
    mAttachDemo = false;
    if (demo != nullptr && demo->IsRecording()) {
      demo->RecordEscape();
      // A recording that could not be saved is not attached (the file may be an older one).
      mAttachDemo = demo->WriteDemoFile();
      if (mAttachDemo) mDemoAttachmentName = demo->GetFileName();
    }
    const std::string hookDemo = mApp->GetCrashReportDemoFile();
    if (!hookDemo.empty()) {
      mDemoAttachmentName = hookDemo;
      mAttachDemo = true;
    }
    if (demo != nullptr) {
      demo->SetRecording(false);
      demo->SetPlaying(false);
    }
  }

  if (mShowWindow) ShowCrashWindow(mErrorTitle, report);
}

std::vector<std::string> CrashCatcher::CrashWindowButtons() const {
  // Sending needs the application's facts; without one the button would stay disabled,
  // which a buttons-only box shows by leaving it out.
  if (UploadOffered() && mApp != nullptr) return {"Send Report", "Close Now"};
  return {"Close Now"};
}

std::string CrashCatcher::BuildUploadRequest() const {
  std::string product, version;
  std::map<std::string, std::string> extra;
  if (mApp != nullptr) {
    product = mApp->mProductName;
    version = mApp->mProductVersion;
    extra = mApp->GetCrashReportFields();
  }
  std::string body;
  for (const auto& [name, value] : extra) body += FormField(name, value);
  body += FormField("prod", product);
  body += FormField("version", version);
  body += FormField("usertext", mUserText);
  body += FormField("errortitle", mErrorTitle);
  body += FormField("errortext", mErrorText);
  if (mAttachDemo) {
    Demo reader;
    Buffer file;
    reader.ReadBufferFromFile(mDemoAttachmentName, file, true);
    body += std::string("--") + kBoundary +
            "\r\nContent-Disposition: form-data; name=\"demofile\"; filename=\"zendro.dmo\"\r\n"
            "Content-Type: application/octet-stream\r\n\r\n";
    if (file.GetDataLen() > 0) body.append(reinterpret_cast<const char*>(file.GetDataPtr()), file.GetDataLen());
    body += "\r\n";
  }
  body += std::string("--") + kBoundary + "--\r\n";

  std::string request = std::string("POST /error_report.php HTTP/1.1\r\nContent-Type: multipart/form-data; boundary=") +
                        kBoundary + "\r\nUser-Agent: Mozilla/4.0 (compatible; zendro)\r\n";
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

void CrashCatcher::ShowCrashWindow(const std::string& title, const std::string& report) {
  const std::vector<std::string> buttons = CrashWindowButtons();
  const int closeNow = static_cast<int>(buttons.size()) - 1;
  const int chosen = plat::ShowButtonBox("Fatal Error!", ToNarrow(kHeadline) + "\n\n" + report, buttons, closeNow);
  if (chosen == closeNow) return;

  // "Error Details": the description cannot be typed into a buttons-only box, so the
  // report goes out with an empty user text.
  const int details = plat::ShowButtonBox("Error Details", ToNarrow(kRequestText), {"Continue", "Abort"}, 0);
  if (details != 0) return;
  mUserText.clear();

  // "Submitting Report": the result is polled every 20 ms; a transfer that gets nowhere
  // within a minute is aborted, as the progress window's "Abort" would.
  for (;;) {
    UploadReport();
    int result = HTTPTransfer::RESULT_NOT_COMPLETED;
    for (int waited = 0; waited < 60000; waited += 20) {
      result = mReportTransfer.GetResult();
      if (result != HTTPTransfer::RESULT_NOT_STARTED && result != HTTPTransfer::RESULT_NOT_COMPLETED) break;
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    if (result == HTTPTransfer::RESULT_NOT_COMPLETED) {
      mReportTransfer.Abort();
      mReportTransfer.Wait();
      return;
    }
    if (result == HTTPTransfer::RESULT_DONE || result == HTTPTransfer::RESULT_ABORTED) return;
    mReportTransfer.Reset();
    if (plat::ShowButtonBox("Connection Failed", ToNarrow(kConnectFailedText), {"Retry", "Cancel"}, 1) != 0) return;
  }
}

}  // namespace Orvo
