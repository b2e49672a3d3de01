// The crash catcher, in two stages. Inside the signal handler it only writes: the report
// (exception, module, stack with symbols, registers, system and application facts) goes
// to "crash.txt" and a recorded demo to its file, both from memory reserved beforehand,
// and the program is started again in its report mode. That second process, whose heap
// the fault cannot have touched, shows the "Fatal Error!" window, from which the report
// can be sent to a report server as an HTTP multipart POST with the user's description.
// One process-wide instance, built on first use; the filter itself is installed by a
// static initialiser before the entry function runs.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "framework/core/HTTPTransfer.h"
#include "platform/Crash.h"

namespace Orvo {

class OrvoAppBase;

class CrashCatcher {
 public:
  static CrashCatcher& Get();

  // Installs the framework's unhandled-exception filter, remembering the previous one;
  // RemoveFilter puts the previous one back (registered to run at process exit).
  static void InstallFilter();
  static void RemoveFilter();
  // The filter, run inside the signal handler: writes the report and the recorded demo,
  // starts the report process, and lets the fault take its course.
  static long FilterEntry(plat::EXCEPTION_POINTERS* pointers);

  // The application whose facts, demo and hooks go into the report (null when none).
  void SetApplication(OrvoAppBase* app);
  OrvoAppBase* GetApplication() const { return mApp; }

  // Takes the facts the signal handler writes (application, system, report form) into the
  // memory reserved for them, and the symbols of every module loaded by now. Called when
  // the application is set, when its start-up is done, and then about once a second.
  // With `symbols`, the symbol tables of libraries loaded since are read as well.
  void RefreshFacts(bool symbols);
  void RefreshFactsEverySecond();

  // Lets a crash start this program again as `<program> -crashreport=<crash.txt> ...`;
  // a program that offers the report mode calls it (see RunReportMode).
  void EnableReportProcess();
  // The report mode: when the command line asks for it, shows the report window (headless:
  // prints the report to stderr) and returns true once it has closed.
  static bool RunReportMode(const std::vector<std::string>& args);

  // Writes the text and one newline to "crash.txt" in the working folder, replacing it.
  static bool SaveReportFile(const std::string& text);

  // The report's first line for an exception code.
  static std::string ExceptionLine(plat::DWORD code, const void* address, plat::DWORD threadId);
  // The exception's name, or null for a code outside the table.
  static const char* ExceptionName(plat::DWORD code);
  static std::string SystemInfoText(OrvoAppBase* app);

  // Upload is offered when it is allowed and a report host is set.
  bool UploadOffered() const { return mUploadAllowed && !mReportHost.empty(); }
  // The buttons of the crash window, left to right.
  std::vector<std::string> CrashWindowButtons() const;
  // "Send Report" and "Continue" need the crashed application's facts.
  bool SendEnabled() const { return mHadApplication; }
  // The complete HTTP request of the report upload.
  std::string BuildUploadRequest() const;
  // Starts sending the report to the report host; false (nothing sent) when no host is set.
  bool UploadReport();

  bool mShowWindow = true;
  bool mUploadAllowed = true;
  // Host of the report server, optionally with ":port"; empty: reports are never sent.
  // Taken from QUORVANE_REPORT_HOST when the catcher is built.
  std::string mReportHost;
  std::string mErrorTitle;
  std::string mErrorText;
  std::string mUserText;
  std::string mDemoAttachmentName;
  bool mAttachDemo = false;
  // The crashed application's name, version and extra form fields (empty without one).
  bool mHadApplication = false;
  bool mCopyToClipboard = true;  // false while a demo was played back
  std::string mProductName;
  std::string mProductVersion;
  std::map<std::string, std::string> mExtraFields;
  // The one transfer reports are sent with.
  HTTPTransfer mReportTransfer;

  static const wchar_t kHeadline[];
  static const wchar_t kRequestText[];
  static const wchar_t kConnectFailedText[];
  static const char kBoundary[];

 private:
  CrashCatcher();
  void WriteReportFromSignal(plat::EXCEPTION_POINTERS* pointers);

  OrvoAppBase* mApp = nullptr;
  std::string mSystemInfo;  // of mApp, taken when it was set
  plat::DWORD mLastRefresh = 0;
};

// The report window of the report mode, on the framework's own widgets: the report with
// "Send Report" and "Close Now", the description page with "Continue" and "Abort", and the
// progress page with "Abort" while the report is sent. Returns when it has closed.
// `interactive` keeps it open headless too (tests drive it through its window's input).
void RunCrashReportWindow(CrashCatcher& catcher, bool interactive);

}  // namespace Orvo
