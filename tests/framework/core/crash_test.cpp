// The crash catcher: a child process that faults leaves "crash.txt" naming the fault with
// a symbolised stack; the report goes to a loopback server when a host is set, and
// nowhere when it is empty.
#include "framework/core/CrashCatcher.h"

#include <gtest/gtest.h>
#include <pthread.h>

#include <chrono>
#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>

#include <unistd.h>

#include "platform/AudioMixer.h"
#include "platform/Threads.h"
#include "tests/framework/core/LoopbackServer.h"

using Orvo::CrashCatcher;

namespace {

// Named after the process that runs the tests, so that test runs side by side never share a
// folder. A death test's child runs the test body again and must find the same folder: it
// inherits the name through the environment.
std::filesystem::path CrashDir(const char* name) {
  const char* run = std::getenv("QUORVANE_CRASH_TEST_RUN");
  if (run == nullptr) {
    setenv("QUORVANE_CRASH_TEST_RUN", std::to_string(getpid()).c_str(), 0);
    run = std::getenv("QUORVANE_CRASH_TEST_RUN");
  }
  return std::filesystem::temp_directory_path() / (std::string("quorvane_crash_test_") + run + "_" + name);
}

std::filesystem::path TempDir(const char* name) {
  auto dir = CrashDir(name);
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  return dir;
}

std::string ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

volatile int* volatile gNowhere = nullptr;
volatile int gZero = 0;
volatile int gQuotient = 0;

// The faults are meant: the undefined-behaviour checker must let them happen.
[[gnu::noinline, gnu::no_sanitize("undefined")]] void WriteThroughNullPointerForCrashTest() {
  *gNowhere = 42;
  std::abort();  // not reached
}

[[gnu::noinline, gnu::no_sanitize("undefined")]] void DivideByZeroForCrashTest() { gQuotient = 7 / gZero; }

// The second fault of a pair, in a function of its own so that the report shows whose it is.
[[gnu::noinline, gnu::no_sanitize("undefined")]] void StoreThroughNullPointerForCrashTest() {
  *gNowhere = 43;
  std::abort();  // not reached
}

volatile int gRecursionLimit = 1 << 30;  // never reached: the stack runs out first

// Each call keeps a block of its stack alive, so the recursion runs out of stack quickly.
[[gnu::noinline, gnu::no_sanitize("undefined")]] int RecurseForCrashTest(int depth) {
  volatile char block[4096];
  block[0] = static_cast<char>(depth);
  if (depth >= gRecursionLimit) return block[0];
  return RecurseForCrashTest(depth + 1) + block[0];
}

// A sound whose decoder runs out of stack on the mixer's thread.
class OverflowingSource : public plat::StreamSource {
 public:
  int Channels() const override { return 2; }
  int Rate() const override { return plat::AudioMixer::kOutputRate; }
  int Read(std::int16_t*, int, bool) override { return RecurseForCrashTest(0); }
  bool Seek(std::uint64_t) override { return false; }
  std::uint64_t Length() const override { return 0; }
  std::uint64_t Position() const override { return 0; }
};

// Plays that sound on the audio device's own thread (or the mixer's pacing thread when
// there is no device) and waits a while for the fault.
void OverflowStackOnTheMixerThread() {
  setenv("SDL_AUDIODRIVER", "dummy", 1);
  plat::AudioMixer& mixer = plat::AudioMixer::Get();
  mixer.Start();
  auto voice = mixer.AddStreamVoice(std::make_shared<plat::Stream>(std::make_unique<OverflowingSource>()));
  {
    std::lock_guard<std::recursive_mutex> lock(mixer.Lock());
    voice->playing = true;
  }
  std::this_thread::sleep_for(std::chrono::seconds(20));
}

void WaitForTheReport() {
  while (!plat::CrashReportInProgress()) std::this_thread::yield();
}

// Runs `fault` once another thread's crash report is under way.
void FaultWhileTheReportIsMade(void (*fault)()) {
  WaitForTheReport();
  fault();
}

// Recurses as RecurseForCrashTest does, but stops a few frames short of the end of the
// thread's stack until another thread's report is under way, then uses up the rest.
[[gnu::noinline, gnu::no_sanitize("undefined")]] int RecurseToTheReportForCrashTest(int depth, std::uintptr_t stackEnd) {
  volatile char block[4096];
  block[0] = static_cast<char>(depth);
  if (stackEnd != 0 && reinterpret_cast<std::uintptr_t>(&block[0]) < stackEnd + 64 * 1024) {
    WaitForTheReport();
    stackEnd = 0;
  }
  if (depth >= gRecursionLimit) return block[0];
  return RecurseToTheReportForCrashTest(depth + 1, stackEnd) + block[0];
}

// The lowest address of the calling thread's stack.
std::uintptr_t StackEnd() {
  pthread_attr_t attr;
  void* low = nullptr;
  std::size_t size = 0;
  if (pthread_getattr_np(pthread_self(), &attr) != 0) return 0;
  pthread_attr_getstack(&attr, &low, &size);
  pthread_attr_destroy(&attr);
  return reinterpret_cast<std::uintptr_t>(low);
}

}  // namespace

TEST(CrashCatcher, ExceptionLinesNameKnownCodesAndShowOthersInLowerCaseHex) {
  const void* at = reinterpret_cast<const void*>(0x401A2B);
  EXPECT_EQ(CrashCatcher::ExceptionLine(0xC0000005, at, 0x1F),
            "Exception: Access Violation (code 0xc0000005) at address 00401A2B in thread 1F\r\n");
  EXPECT_EQ(CrashCatcher::ExceptionLine(0xE06D7363, at, 2),
            "Unknown exception: (code 0xe06d7363) at address 00401A2B in thread 2\r\n");
  EXPECT_STREQ(CrashCatcher::ExceptionName(0xC00000FD), "Stack Overflow");
  EXPECT_STREQ(CrashCatcher::ExceptionName(0x00000000), "Wait 0");
}

// Runs `fault` in a child process (the death test re-runs this body there) and checks the
// "crash.txt" it leaves behind.
void ExpectCrashReport(const char* name, void (*fault)(), int signal, const char* firstLine, const char* function) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  const auto dir = TempDir(name);
  // With no report host the crash window offers only "Close Now" (headless: stderr).
  EXPECT_EXIT(
      {
        std::filesystem::current_path(dir);
        fault();
      },
      testing::KilledBySignal(signal), "Fatal Error!");
  const std::string report = ReadFile(dir / "crash.txt");
  ASSERT_FALSE(report.empty());
  EXPECT_EQ(report.rfind(firstLine, 0), 0u) << report;
  EXPECT_NE(report.find(function), std::string::npos) << report;
  for (const char* part : {"\r\nModule: ", "\r\nLogical Address: ", "\r\nRIP:", "\r\nWindows Ver: "})
    EXPECT_NE(report.find(part), std::string::npos) << part;
  EXPECT_EQ(report.substr(report.size() - 3), "\r\n\n");
  std::filesystem::remove_all(dir);
}

TEST(CrashCatcherDeathTest, AnAccessViolationIsReportedWithItsFunction) {
  ExpectCrashReport("segv", [] { WriteThroughNullPointerForCrashTest(); }, SIGSEGV,
                    "Exception: Access Violation (code 0xc0000005) at address ", "WriteThroughNullPointerForCrashTest");
}

TEST(CrashCatcherDeathTest, AnIntegerDivisionByZeroIsReportedWithItsFunction) {
  ExpectCrashReport("fpe", [] { DivideByZeroForCrashTest(); }, SIGFPE,
                    "Exception: Integer Divide by Zero (code 0xc0000094) at address ", "DivideByZeroForCrashTest");
}

TEST(CrashCatcherDeathTest, RunningOutOfStackIsReportedAsAStackOverflow) {
  ExpectCrashReport("stack", [] { RecurseForCrashTest(0); }, SIGSEGV,
                    "Exception: Stack Overflow (code 0xc00000fd) at address ", "RecurseForCrashTest");
}

// A thread of the program's runs out of stack: the handler still runs, on that thread's
// own signal stack, whichever way the thread was started (SDL starts the audio device's).
TEST(CrashCatcherDeathTest, RunningOutOfStackOnAWorkerThreadIsReportedAsAStackOverflow) {
  const struct {
    const char* name;
    void (*fault)();
  } starts[] = {
      {"thread-stack", [] { plat::Thread([] { RecurseForCrashTest(0); }).Join(); }},
      {"started-stack", [] { plat::StartThread([] { RecurseForCrashTest(0); }).join(); }},
      {"mixer-stack", [] { OverflowStackOnTheMixerThread(); }},
  };
  for (const auto& start : starts) {
    SCOPED_TRACE(start.name);
    ExpectCrashReport(start.name, start.fault, SIGSEGV, "Exception: Stack Overflow (code 0xc00000fd) at address ",
                      "RecurseForCrashTest");
  }
  // Each death test's child passes the earlier starts again and makes their folders anew.
  for (const auto& start : starts) std::filesystem::remove_all(CrashDir(start.name));
}

TEST(CrashCatcherDeathTest, AnAbortIsReportedAsAnUnknownException) {
  ExpectCrashReport("abort", [] { std::abort(); }, SIGABRT, "Unknown exception: (code 0x40000015) at address ",
                    "abort");
}

// A second thread faults while the first one's report is being made: it waits, and the
// first report is written whole and shown, whichever thread came first and however the
// second one fails (a null write, an abort, its stack used up).
TEST(CrashCatcherDeathTest, ASecondThreadFaultingDuringTheReportWaitsForIt) {
  const struct {
    const char* name;
    void (*fault)();
    const char* firstLine;
    const char* function;
  } pairs[] = {
      {"pair-main-first",
       [] {
         plat::StartThread([] { FaultWhileTheReportIsMade(StoreThroughNullPointerForCrashTest); }).detach();
         WriteThroughNullPointerForCrashTest();
       },
       "Exception: Access Violation (code 0xc0000005) at address ", "WriteThroughNullPointerForCrashTest"},
      {"pair-worker-first",
       [] {
         plat::StartThread([] { WriteThroughNullPointerForCrashTest(); }).detach();
         FaultWhileTheReportIsMade(StoreThroughNullPointerForCrashTest);
       },
       "Exception: Access Violation (code 0xc0000005) at address ", "WriteThroughNullPointerForCrashTest"},
      {"pair-abort",
       [] {
         plat::StartThread([] { FaultWhileTheReportIsMade(std::abort); }).detach();
         WriteThroughNullPointerForCrashTest();
       },
       "Exception: Access Violation (code 0xc0000005) at address ", "WriteThroughNullPointerForCrashTest"},
      {"pair-stacks",
       [] {
         std::thread second = plat::StartThread([] { RecurseToTheReportForCrashTest(0, StackEnd()); });
         plat::StartThread([] { RecurseForCrashTest(0); }).join();
         second.join();
       },
       "Exception: Stack Overflow (code 0xc00000fd) at address ", "RecurseForCrashTest"},
  };
  for (const auto& pair : pairs) {
    SCOPED_TRACE(pair.name);
    ExpectCrashReport(pair.name, pair.fault, SIGSEGV, pair.firstLine, pair.function);
  }
}

// A fault inside the report, on the thread making it, ends the process at once with that
// fault's signal (it does not wait for a report of its own, nor for the watchdog).
TEST(CrashCatcherDeathTest, AFaultWhileMakingTheReportEndsTheProcessAtOnce) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  static void (*faultInTheReport)() = nullptr;
  const struct {
    void (*fault)();
    int signal;
  } cases[] = {{DivideByZeroForCrashTest, SIGFPE}, {StoreThroughNullPointerForCrashTest, SIGSEGV}};
  for (const auto& c : cases) {
    faultInTheReport = c.fault;
    EXPECT_EXIT(
        {
          plat::SetUnhandledExceptionFilter([](plat::EXCEPTION_POINTERS*) -> long {
            faultInTheReport();
            return plat::EXCEPTION_CONTINUE_SEARCH;
          });
          WriteThroughNullPointerForCrashTest();
        },
        testing::KilledBySignal(c.signal), "");
  }
}

TEST(CrashCatcher, TheReportUploadArrivesAsOneMultipartPost) {
  CrashCatcher& catcher = CrashCatcher::Get();
  const auto dir = TempDir("upload");
  const std::string demoBytes("DMO\0\r\n--x\0", 10);  // binary, with NULs and a CRLF
  {
    std::ofstream(dir / "rec.dmo", std::ios::binary) << demoBytes;
  }
  testing_http::LoopbackServer server({{"HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nok"}});
  catcher.mReportHost = "127.0.0.1:" + std::to_string(server.Port());
  catcher.mErrorTitle = "Exception at 0001:00000010";
  catcher.mErrorText = "Exception: Access Violation\r\n";
  catcher.mUserText = "it broke";
  catcher.mAttachDemo = true;
  catcher.mDemoAttachmentName = (dir / "rec.dmo").string();

  ASSERT_TRUE(catcher.UploadReport());
  for (int i = 0; i < 500 && catcher.mReportTransfer.GetResult() == Orvo::HTTPTransfer::RESULT_NOT_COMPLETED; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  EXPECT_EQ(catcher.mReportTransfer.GetResult(), Orvo::HTTPTransfer::RESULT_DONE);

  const std::string b = "---------------------------7d3e1f30eec";
  const std::string body = "--" + b + "\r\nContent-Disposition: form-data; name=\"prod\"\r\n\r\n\r\n" +
                           "--" + b + "\r\nContent-Disposition: form-data; name=\"version\"\r\n\r\n\r\n" +
                           "--" + b + "\r\nContent-Disposition: form-data; name=\"usertext\"\r\n\r\nit broke\r\n" +
                           "--" + b + "\r\nContent-Disposition: form-data; name=\"errortitle\"\r\n\r\nException at 0001:00000010\r\n" +
                           "--" + b + "\r\nContent-Disposition: form-data; name=\"errortext\"\r\n\r\nException: Access Violation\r\n\r\n" +
                           "--" + b + "\r\nContent-Disposition: form-data; name=\"demofile\"; filename=\"zendro.dmo\"\r\n" +
                           "Content-Type: application/octet-stream\r\n\r\n" + demoBytes + "\r\n" +
                           "--" + b + "--\r\n";
  const std::string request = "POST /error_report.php HTTP/1.1\r\nContent-Type: multipart/form-data; boundary=" + b +
                              "\r\nUser-Agent: Mozilla/4.0 (compatible; zendro)\r\nHost: " + catcher.mReportHost +
                              "\r\nContent-Length: " + std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n" +
                              body;
  EXPECT_EQ(server.Request(), request);

  // A description or demo holding the boundary gets a boundary of its own, so that neither
  // ends the form early.
  catcher.mUserText = "x\r\n--" + b + "--\r\n";
  {
    std::ofstream(dir / "rec.dmo", std::ios::binary) << b + "0" + b;
  }
  const std::string withBoundaries = catcher.BuildUploadRequest();
  const std::string chosen = b + "1";
  EXPECT_NE(withBoundaries.find("boundary=" + chosen + "\r\n"), std::string::npos);
  EXPECT_NE(withBoundaries.find("name=\"usertext\"\r\n\r\n" + catcher.mUserText + "\r\n--" + chosen + "\r\n"),
            std::string::npos);
  EXPECT_NE(withBoundaries.find("\r\n\r\n" + b + "0" + b + "\r\n--" + chosen + "--\r\n"), std::string::npos);

  catcher.mReportTransfer.Reset();
  catcher.mAttachDemo = false;
  catcher.mReportHost.clear();  // no host: nothing is sent anywhere
  EXPECT_FALSE(catcher.UploadOffered());
  EXPECT_FALSE(catcher.UploadReport());
  EXPECT_EQ(catcher.mReportTransfer.GetResult(), Orvo::HTTPTransfer::RESULT_NOT_STARTED);
  std::filesystem::remove_all(dir);
}
