// Entry point of quorvane: the puzzle game, run by the kernel in a window that stays until
// it is closed (headless: until SIGINT or SIGTERM). Started with "-crashreport=<file>" after
// a crash, it shows that report's window instead.
#include <string>
#include <vector>

#include "framework/core/CrashCatcher.h"
#include "game/GameImpl.h"
#include "platform/Process.h"

int main(int argc, char** argv) {
  plat::SetCommandLineArgs(argc, argv);
  if (Orvo::CrashCatcher::RunReportMode(std::vector<std::string>(argv + 1, argv + argc))) return 0;
  Orvo::CrashCatcher::Get().EnableReportProcess();
  return Doduderor::GameMain(nullptr);
}
