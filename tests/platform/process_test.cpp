// Process-level services: the raw command line, the runtime's random numbers, the simulated
// clock, the named mutex and registered messages between two processes.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>

#include "platform/Messages.h"
#include "platform/Process.h"
#include "platform/Random.h"
#include "platform/SingleInstance.h"
#include "platform/Time.h"
#include "platform/Window.h"

using namespace plat;

TEST(Process, CommandLineQuotesThePathAndSpacedArguments) {
  SetCommandLineArgs({"/opt/my game/quorvane", "-play", "-demofile=my file.dmo", ""});
  EXPECT_STREQ(GetCommandLineA(), "\"/opt/my game/quorvane\" -play \"-demofile=my file.dmo\" \"\"");
}

TEST(Process, RandomMatchesTheRuntimeSequenceAndIsPerThread) {
  plat::srand(1);
  // The first numbers the classic runtime deals after plat::srand(1).
  EXPECT_EQ(plat::rand(), 41);
  EXPECT_EQ(plat::rand(), 18467);
  EXPECT_EQ(plat::rand(), 6334);
  plat::srand(12345);
  int a = plat::rand();
  int other = -1;
  std::thread([&] { other = plat::rand(); }).join();  // a new thread starts from seed 1
  EXPECT_EQ(other, 41);
  plat::srand(12345);
  EXPECT_EQ(plat::rand(), a);
}

TEST(Process, SimulatedClockAdvancesOnlyWhenTheOwnerSleeps) {
  SimulatedClock clock(5000);
  SetClockSource(&clock);
  EXPECT_EQ(timeGetTime(), 5000u);
  Sleep(25);
  EXPECT_EQ(timeGetTime(), 5025u);
  std::thread([] { Sleep(1); }).join();  // another thread's sleep does not move time
  EXPECT_EQ(GetTickCount(), 5025u);
  LARGE_INTEGER c;
  QueryPerformanceCounter(&c);
  EXPECT_EQ(c.QuadPart, 5025LL * 1000000);
  EXPECT_EQ(clock.SleptMilliseconds(), 25u);
  SetClockSource(nullptr);
}

TEST(Process, SecondMutexHolderIsToldAndNotifyCrossesProcesses) {
  // The lock files and sockets go to a folder of this test's own.
  auto runtime = std::filesystem::temp_directory_path() / ("orvo_rt_" + std::to_string(getpid()));
  std::filesystem::create_directories(runtime);
  setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
  EXPECT_EQ(RuntimeFolder(), runtime.string());
  std::string name = "QuorvaneTest" + std::to_string(getpid());
  HANDLE first = CreateMutexA(nullptr, TRUE, (name + "Mutex").c_str());
  EXPECT_EQ(GetLastError(), 0u);
  UINT notify = RegisterWindowMessageA((name + "Notify").c_str());
  ASSERT_NE(notify, 0u);

  WNDCLASSA wc;
  wc.lpfnWndProc = DefWindowProcA;
  wc.lpszClassName = "ProcessTestWindow";
  RegisterClassA(&wc);
  HWND hwnd = CreateWindowExA(0, "ProcessTestWindow", "", 0, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
  ResetMessageQueue();

  pid_t child = fork();
  if (child == 0) {
    HANDLE second = CreateMutexA(nullptr, TRUE, (name + "Mutex").c_str());
    bool refused = GetLastError() == ERROR_ALREADY_EXISTS;
    UINT id = RegisterWindowMessageA((name + "Notify").c_str());
    PostMessageA(HWND_BROADCAST, id, 0, 0);
    CloseHandle(second);
    _exit(refused ? 0 : 1);
  }
  int status = 0;
  waitpid(child, &status, 0);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);

  MSG msg;
  bool got = false;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
    if (msg.message == notify && msg.hwnd == hwnd) got = true;
  EXPECT_TRUE(got);

  CloseHandle(first);
  HANDLE again = CreateMutexA(nullptr, TRUE, (name + "Mutex").c_str());
  EXPECT_EQ(GetLastError(), 0u);  // released by closing
  CloseHandle(again);
  DestroyWindow(hwnd);
  StopListeningForRegisteredMessages();
  std::filesystem::remove_all(runtime);
}
