// The report window of the crash report's second stage, on the framework's own widgets,
// run by the report process (CrashCatcher::RunReportMode). Three pages, as the windows of
// the report: "Fatal Error!" with the report, "Error Details" where the user describes
// what happened, and "Submitting Report" while the report is sent.
#pragma once

#include <string>

#include "framework/core/OrvoAppBase.h"

namespace Orvo {

class ButtonWidget;
class CrashCatcher;
class EditWidget;

class CrashReportWindow : public OrvoAppBase {
 public:
  enum Page { PAGE_CRASH, PAGE_DETAILS, PAGE_PROGRESS };
  enum {
    ID_SEND_REPORT = 1,
    ID_CLOSE_NOW,
    ID_CONTINUE,
    ID_DETAILS_ABORT,
    ID_PROGRESS_ABORT,
  };

  explicit CrashReportWindow(CrashCatcher& catcher);
  ~CrashReportWindow() override;

  Page GetPage() const { return mPage; }
  // The text the progress page shows now.
  std::string GetProgressText() const;
  // Where a button is on the current page (false when it is not shown).
  bool FindButton(int id, int* x, int* y) const;

  void LoadingCompleted() override;
  void UpdateApp() override;
  void ButtonReleased(int id) override;
  bool ChangeDirHook(const std::string&) override { return true; }
  // The process's command line is the report's (CrashCatcher::RunReportMode has taken it),
  // not the game's: there is nothing left for the window to read.
  void SplitCommandLine() override { mCommandLineParsed = true; }

 private:
  void ShowPage(Page page);
  void ClearPage();
  ButtonWidget* AddButton(int id, const std::string& label, int x, int y, int width, int height, bool enabled);
  EditWidget* AddText(const std::string& text, int x, int y, int width, int height, const char* face, int points,
                      bool bold, bool multiLine, bool readOnly);
  void StartUpload();

  CrashCatcher& mCatcher;
  Page mPage = PAGE_CRASH;
  EditWidget* mDescription = nullptr;
  EditWidget* mProgress = nullptr;
  int mProgressTicks = 0;  // updates since the progress page opened
  int mDots = 0;
};

}  // namespace Orvo
