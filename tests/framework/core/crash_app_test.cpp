// A running application that faults in the worst places: with its heap broken inside the
// allocator (whose lock the fault leaves held) and with its stack used up. Each time the
// process must end with "crash.txt" holding the application's facts and stack lines, and
// must not keep its single-instance lock: the next start runs.
#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "framework/core/OrvoAppBase.h"
#include "platform/Files.h"
#include "platform/Process.h"
#include "platform/Registry.h"

namespace {

enum Fault { NONE, HEAP, STACK };

char* volatile gBlock = nullptr;
volatile int gDepthLimit = 1 << 30;  // never reached: the stack runs out first

// Frees one large block twice: the allocator notices inside its locked part and aborts.
[[gnu::noinline]] void CorruptHeapForCrashTest() {
  gBlock = static_cast<char*>(std::malloc(5000));
  void* keep = std::malloc(5000);
  std::free(gBlock);
  std::free(gBlock);
  std::free(keep);
}

[[gnu::noinline, gnu::no_sanitize("undefined")]] int OverflowStackForCrashTest(int depth) {
  volatile char block[4096];
  block[0] = static_cast<char>(depth);
  if (depth >= gDepthLimit) return block[0];
  return OverflowStackForCrashTest(depth + 1) + block[0];
}

class FaultingApp : public Orvo::OrvoAppBase {
 public:
  explicit FaultingApp(Fault fault) : mFault(fault) {
    mProductName = "QuorvaneCrashAppTest";
    mWidth = 320;
    mHeight = 240;
  }
  bool ChangeDirHook(const std::string&) override { return true; }
  void UpdateApp() override {
    OrvoAppBase::UpdateApp();
    if (mUpdateCount == 20 && mFault == HEAP) CorruptHeapForCrashTest();
    if (mUpdateCount == 20 && mFault == STACK) OverflowStackForCrashTest(0);
    if (mUpdateCount == 20) Shutdown();
  }

 private:
  Fault mFault;
};

std::filesystem::path Dir() {
  static const std::filesystem::path dir =
      std::filesystem::temp_directory_path() / ("quorvane_crash_app_test_" + std::to_string(plat::CurrentProcessId()));
  return dir;
}

// Runs the application in this (forked) process; exits 3 once it got past start-up.
[[noreturn]] void Run(Fault fault) {
  std::filesystem::current_path(Dir());
  plat::SetCommandLineArgs({"crash_app_test"});
  FaultingApp app(fault);
  app.Init();
  if (fault == NONE) std::_Exit(3);  // not refused as a second copy
  app.Start();
  std::_Exit(0);
}

std::string ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

void ExpectReportAndRestart(Fault fault, int signal, const char* firstLine, const char* function) {
  GTEST_FLAG_SET(death_test_style, "fast");
  std::filesystem::remove_all(Dir());
  for (const char* d : {"config", "data", "runtime"}) std::filesystem::create_directories(Dir() / d);
  setenv("XDG_CONFIG_HOME", (Dir() / "config").c_str(), 1);
  setenv("XDG_DATA_HOME", (Dir() / "data").c_str(), 1);
  setenv("XDG_RUNTIME_DIR", (Dir() / "runtime").c_str(), 1);
  plat::SetRegistryFolder("");

  // Killed by the fault itself, not by the handler's watchdog (SIGALRM).
  EXPECT_EXIT(Run(fault), testing::KilledBySignal(signal), "Fatal Error!");
  const std::string report = ReadFile(Dir() / "crash.txt");
  EXPECT_EQ(report.rfind(firstLine, 0), 0u) << report;
  EXPECT_NE(report.find(function), std::string::npos) << report;
  for (const char* part : {"\r\nParams: ", "\r\nProduct: QuorvaneCrashAppTest\r\n", "\r\nTime Loaded: 00:00:",
                           "\r\nFullscreen: No\r\n", "\r\nPrimary ThreadId: ", "\r\nDDraw Ver: "})
    EXPECT_NE(report.find(part), std::string::npos) << part << "\n" << report;

  EXPECT_EXIT(Run(NONE), testing::ExitedWithCode(3), "");
  std::filesystem::remove_all(Dir());
}

}  // namespace

TEST(CrashAppDeathTest, ABrokenHeapStillGivesTheReportAndFreesTheLock) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "the address checker reports the double free itself";
#elif defined(__SANITIZE_THREAD__)
  GTEST_SKIP() << "the thread checker's allocator lets the double free pass, so the heap never breaks";
#endif
  ExpectReportAndRestart(HEAP, SIGABRT, "Unknown exception: (code 0x40000015)", "CorruptHeapForCrashTest");
}

TEST(CrashAppDeathTest, ARunawayRecursionStillGivesTheReportAndFreesTheLock) {
  ExpectReportAndRestart(STACK, SIGSEGV, "Exception: Stack Overflow (code 0xc00000fd)", "OverflowStackForCrashTest");
}
