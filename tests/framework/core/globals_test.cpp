// The framework's process-wide objects exist before the entry function runs: code that
// runs while this file is still being initialised (before the framework's own files, as
// this file is linked first) already finds the colours, the dialog captions, the pak
// interface, the random generator and the crash catcher built.
#include "framework/core/Globals.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "framework/core/Common.h"
#include "framework/core/CrashCatcher.h"
#include "framework/graphics/Color.h"
#include "framework/resources/PakInterface.h"
#include "framework/widgets/Dialog.h"
#include "platform/Files.h"

namespace {

struct StaticInitProbe {
  Orvo::Color black, white;
  bool pakPublished = false;
  bool pakOpensFiles = false;
  std::uint32_t firstRandom = 0;
  std::string headline;
  std::string captions;

  StaticInitProbe() {
    black = Orvo::Color::Black;
    white = Orvo::Color::White;
    pakPublished = Orvo::FindPakInterface() != nullptr;
    const auto file = std::filesystem::temp_directory_path() /
                      ("quorvane_globals_probe_" + std::to_string(plat::CurrentProcessId()) + ".txt");
    std::ofstream(file) << "x";
    if (Orvo::PakHandle* h = Orvo::PakOpen(file.string().c_str(), "rb")) {
      pakOpensFiles = Orvo::PakGetC(h) == 'x';
      Orvo::PakClose(h);
    }
    std::filesystem::remove(file);
    firstRandom = Orvo::GetMTRand().Next();
    headline = Orvo::ToNarrow(Orvo::CrashCatcher::kHeadline);
    captions = Orvo::DIALOG_YES_STRING + Orvo::DIALOG_NO_STRING + Orvo::DIALOG_OK_STRING + Orvo::DIALOG_CANCEL_STRING;
  }
} gProbe;

long OtherFilter(plat::EXCEPTION_POINTERS*) { return plat::EXCEPTION_CONTINUE_SEARCH; }

}  // namespace

TEST(Globals, AreBuiltForCodeThatRunsBeforeTheEntryFunction) {
  EXPECT_EQ(gProbe.black, Orvo::Color(0, 0, 0, 255));
  EXPECT_EQ(gProbe.white, Orvo::Color(255, 255, 255, 255));
  EXPECT_TRUE(gProbe.pakPublished);
  EXPECT_TRUE(gProbe.pakOpensFiles);
  EXPECT_EQ(gProbe.firstRandom, Orvo::MTRand(4357).Next());
  EXPECT_EQ(gProbe.headline, "An unexpected error has occured!");
  EXPECT_EQ(gProbe.captions, "YESNOOKCANCEL");
}

TEST(Globals, TheCrashFilterIsInstalledBeforeTheEntryFunction) {
  plat::LPTOP_LEVEL_EXCEPTION_FILTER current = plat::SetUnhandledExceptionFilter(&OtherFilter);
  EXPECT_EQ(current, &Orvo::CrashCatcher::FilterEntry);
  plat::SetUnhandledExceptionFilter(current);
  EXPECT_EQ(Orvo::CrashCatcher::Get().mReportTransfer.GetResult(), Orvo::HTTPTransfer::RESULT_NOT_STARTED);
  EXPECT_TRUE(Orvo::CrashCatcher::Get().mReportHost.empty());
}
