// The crash catcher: when a fault escapes everything, it builds a plain-text report
// (exception, module, symbolised stack, registers, system and application facts), saves
// it to "crash.txt", copies it to the clipboard, saves the demo being recorded and shows
// the "Fatal Error!" window, from which the report can be sent to a report server as an
// HTTP multipart POST. One process-wide instance, built on first use; the filter itself
// is installed by a static initialiser before the entry function runs.
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
  // The filter: hides the application, builds the report, lets the fault take its course.
  static long FilterEntry(plat::EXCEPTION_POINTERS* pointers);

  // The application whose facts, demo and hooks go into the report (null when none).
  void SetApplication(OrvoAppBase* app) { mApp = app; }
  OrvoAppBase* GetApplication() const { return mApp; }

  void BuildReport(plat::EXCEPTION_POINTERS* pointers);
  // Writes the text and one newline to "crash.txt" in the working folder, replacing it.
  static bool SaveReportFile(const std::string& text);

  // The report's first line for an exception code.
  static std::string ExceptionLine(plat::DWORD code, const void* address, plat::DWORD threadId);
  // The exception's name, or null for a code outside the table.
  static const char* ExceptionName(plat::DWORD code);
  // One line per frame: symbol and displacement when known, else the logical address.
  static std::string StackText(const std::vector<void*>& frames);
  static std::string RegisterText(const plat::CONTEXT& context);
  static std::string SystemInfoText(OrvoAppBase* app);

  // Upload is offered when it is allowed and a report host is set.
  bool UploadOffered() const { return mUploadAllowed && !mReportHost.empty(); }
  // The buttons of the crash window, left to right.
  std::vector<std::string> CrashWindowButtons() const;
  // The complete HTTP request of the report upload.
  std::string BuildUploadRequest() const;
  // Starts sending the report to the report host; false (nothing sent) when no host is set.
  bool UploadReport();
  // Shows the crash window and, when asked, the details and the upload; returns when closed.
  void ShowCrashWindow(const std::string& title, const std::string& report);

  bool mShowWindow = true;
  bool mUploadAllowed = true;
  // Host of the report server, optionally with ":port"; empty: reports are never sent.
  std::string mReportHost;
  std::string mErrorTitle;
  std::string mErrorText;
  std::string mUserText;
  std::string mDemoAttachmentName;
  bool mAttachDemo = false;
  // The one transfer reports are sent with.
  HTTPTransfer mReportTransfer;

  static const wchar_t kHeadline[];
  static const wchar_t kRequestText[];
  static const wchar_t kConnectFailedText[];
  static const char kBoundary[];

 private:
  CrashCatcher() = default;
  OrvoAppBase* mApp = nullptr;
};

}  // namespace Orvo
