// The quorvane program as a user starts it, headless: it runs until told to quit and
// exits 0 with the game's option files saved, refuses bad options and a second copy with
// exit code 0, and survives per-user folders it cannot write.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <sstream>

namespace fs = std::filesystem;

namespace {

class ProgramTest : public ::testing::Test {
 protected:
  void SetUp() override {
    program = fs::path(QUORVANE_RUN_DIR) / "quorvane";
    ASSERT_TRUE(fs::exists(program)) << program << " is not built";
    root = fs::temp_directory_path() / ("orvo_prog_" + std::to_string(std::random_device{}()));
    for (const char* d : {"config", "data", "runtime"}) fs::create_directories(root / d);
  }
  void TearDown() override {
    std::error_code ec;
    fs::remove_all(root, ec);
  }
  std::string Env() const {
    return "SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy XDG_CONFIG_HOME='" + (root / "config").string() +
           "' XDG_DATA_HOME='" + dataHome + "' XDG_RUNTIME_DIR='" + (root / "runtime").string() + "' ";
  }
  // Runs a shell script; returns what it printed.
  static std::string Shell(const std::string& script) {
    const fs::path out = fs::temp_directory_path() / ("orvo_sh_" + std::to_string(std::random_device{}()));
    std::string cmd = "sh -c '" + Escape(script) + "' > '" + out.string() + "' 2>&1";
    int status = std::system(cmd.c_str());
    (void)status;
    std::ifstream in(out);
    std::stringstream ss;
    ss << in.rdbuf();
    fs::remove(out);
    return ss.str();
  }
  static std::string Escape(const std::string& s) {
    std::string r;
    for (char c : s) r += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return r;
  }
  // Shell lines that wait (at most 20 s) until a started copy listens for its notify
  // message, which it does once it is up.
  std::string WaitUntilUp() const {
    return "for i in $(seq 400); do ls '" + (root / "runtime").string() +
           "'/quorvane-*Notify.sock >/dev/null 2>&1 && break; sleep 0.05; done; ";
  }
  // Starts the program, lets it run, sends SIGTERM and prints "exit=<code>".
  std::string RunAndTerminate(const std::string& args = "") {
    return Shell("cd '" + program.parent_path().string() + "' || exit 1; " + Env() + "timeout -s KILL 30 ./quorvane " +
                 args + " & pid=$!; " + WaitUntilUp() + "sleep 0.3; kill -TERM $pid; wait $pid; echo exit=$?");
  }
  fs::path program;
  fs::path root;
  std::string dataHome = (fs::temp_directory_path() / "unused").string();
};

}  // namespace

TEST_F(ProgramTest, UnknownOptionIsNamedAndEndsWithCodeZero) {
  dataHome = (root / "data").string();
  std::string out = Shell("cd '" + program.parent_path().string() + "' || exit 1; " + Env() +
                          "timeout -s KILL 30 ./quorvane -bogus=1; echo exit=$?");
  EXPECT_NE(out.find("Invalid command line parameter: -bogus"), std::string::npos) << out;
  EXPECT_NE(out.find("exit=0"), std::string::npos) << out;
}

TEST_F(ProgramTest, SecondCopyIsRefusedWhileTheFirstRuns) {
  dataHome = (root / "data").string();
  std::string dir = program.parent_path().string();
  std::string out = Shell("cd '" + dir + "' || exit 1; " + Env() + "timeout -s KILL 30 ./quorvane & first=$!; " +
                          WaitUntilUp() +
                          Env() + "timeout -s KILL 10 ./quorvane; echo second=$?; " +
                          "kill -0 $first && echo first-alive; kill -TERM $first; wait $first; echo first=$?");
  EXPECT_NE(out.find("second=0"), std::string::npos) << out;
  EXPECT_NE(out.find("first-alive"), std::string::npos) << out;
  EXPECT_NE(out.find("first=0"), std::string::npos) << out;
}

TEST_F(ProgramTest, UnwritablePerUserFoldersDoNotStopIt) {
  std::ofstream(root / "afile") << "x";
  dataHome = (root / "afile" / "data").string();  // below a plain file: cannot be created
  std::string out = Shell("cd '" + program.parent_path().string() + "' && SDL_VIDEODRIVER=dummy " +
                          "SDL_AUDIODRIVER=dummy XDG_DATA_HOME='" + dataHome + "' XDG_CONFIG_HOME='" +
                          (root / "afile" / "config").string() + "' XDG_RUNTIME_DIR='" +
                          (root / "runtime").string() +
                          "' timeout -s KILL 30 ./quorvane & pid=$!; " + WaitUntilUp() +
                          "sleep 0.3; kill -TERM $pid; wait $pid; echo exit=$?");
  EXPECT_NE(out.find("exit=0"), std::string::npos) << out;
}

TEST_F(ProgramTest, CrashOptionExercisesTheCrashCatcher) {
  dataHome = (root / "data").string();
  fs::path workDir = root / "work";
  fs::create_directories(workDir);
  std::string out = Shell("cd '" + program.parent_path().string() + "' || exit 1; " + Env() +
                          "timeout -s KILL 30 ./quorvane -crash -changedir='" + workDir.string() + "'; echo exit=$?");
  EXPECT_EQ(out.find("exit=0"), std::string::npos) << out;  // it did crash
  EXPECT_EQ(out.find("exit=137"), std::string::npos) << out;  // and did not hang
  std::ifstream in(workDir / "crash.txt");
  std::stringstream ss;
  ss << in.rdbuf();
  for (const char* part : {"Access Violation", "FaultOnPurpose", "\r\nParams: ", "\r\nProduct: Quorvane\r\n",
                           "\r\nDDraw Ver: 1.0\r\n"})
    EXPECT_NE(ss.str().find(part), std::string::npos) << part << "\n" << ss.str();
  // The crashed copy held the single-instance lock; the next one starts all the same. Its message
  // socket file is left behind, so remove it first: the wait for the next copy must see that copy's own.
  for (const auto& entry : fs::directory_iterator(root / "runtime"))
    if (entry.path().extension() == ".sock") fs::remove(entry.path());
  out = RunAndTerminate();
  EXPECT_NE(out.find("exit=0"), std::string::npos) << out;
}

// A demo "file" that is a folder, a pipe with no writer or a device is named as not found,
// and the program ends with code 0 without waiting or crashing.
TEST_F(ProgramTest, ADemoFileThatIsNoPlainFileIsNotFound) {
  dataHome = (root / "data").string();
  fs::create_directories(root / "folder.dmo");
  ASSERT_EQ(std::system(("mkfifo '" + (root / "pipe.dmo").string() + "'").c_str()), 0);
  for (const std::string& name : {(root / "folder.dmo").string(), (root / "pipe.dmo").string(), std::string("/dev/zero")}) {
    std::string out = Shell("cd '" + program.parent_path().string() + "' || exit 1; " + Env() +
                            "timeout -s KILL 30 ./quorvane -play -demofile='" + name + "'; echo exit=$?");
    EXPECT_NE(out.find("Demo file not found: " + name), std::string::npos) << out;
    EXPECT_NE(out.find("exit=0"), std::string::npos) << out;
    EXPECT_FALSE(fs::exists(program.parent_path() / "crash.txt"));
  }
}

// The game keeps its settings in its own option files next to its data, not in the registry.
TEST_F(ProgramTest, RunsUntilToldToQuitAndSavesTheGamesOptionFiles) {
  dataHome = (root / "data").string();
  const fs::path gameDir = root / "game";
  fs::create_directories(gameDir / "save");
  for (const char* name : {"data.pak", "main.pak"}) fs::copy_file(program.parent_path() / name, gameDir / name);
  std::string out = Shell("cd '" + program.parent_path().string() + "' || exit 1; " + Env() +
                          "timeout -s KILL 30 ./quorvane -changedir='" + gameDir.string() + "' & pid=$!; " +
                          WaitUntilUp() +
                          // The game reads its options right after it opens its archive; a quit
                          // before that (still loading, however long that takes) has nothing to save.
                          "for i in $(seq 500); do ls -l /proc/[0-9]*/fd 2>/dev/null | grep -q '" +
                          (gameDir / "data.pak").string() + "' && break; sleep 0.05; done; " +
                          "kill -TERM $pid; wait $pid; echo exit=$?");
  EXPECT_NE(out.find("exit=0"), std::string::npos) << out;
  std::ifstream options(gameDir / "options.opt", std::ios::binary);
  const std::string bytes((std::istreambuf_iterator<char>(options)), std::istreambuf_iterator<char>());
  EXPECT_EQ(bytes, std::string("\x00\x14\x00\x28\x00\x03", 6));
  EXPECT_EQ(fs::file_size(gameDir / "resolution.opt"), 3u);
  EXPECT_FALSE(fs::exists(root / "config" / "quorvane"));
}
