// Command line and process exit.
#include "platform/Process.h"

#include <cstdlib>
#include <mutex>

#include "platform/Folders.h"

namespace plat {

namespace {
std::mutex gLock;
std::string gCommandLine;
bool gCommandLineSet = false;
std::function<void(UINT)> gExitHook;

std::string Quoted(const std::string& arg, bool always) {
  bool needs = always || arg.empty() || arg.find_first_of(" \t") != std::string::npos;
  if (!needs) return arg;
  std::string out = "\"";
  for (char c : arg)
    if (c != '"') out.push_back(c);  // a quote inside an argument cannot be represented
  return out + "\"";
}
}  // namespace

void SetCommandLineArgs(const std::vector<std::string>& args) {
  std::lock_guard<std::mutex> g(gLock);
  gCommandLine.clear();
  for (std::size_t i = 0; i < args.size(); ++i) {
    if (i) gCommandLine.push_back(' ');
    gCommandLine += Quoted(args[i], i == 0);
  }
  gCommandLineSet = true;
}

void SetCommandLineArgs(int argc, const char* const* argv) {
  std::vector<std::string> args;
  for (int i = 0; i < argc; ++i) args.emplace_back(argv[i] ? argv[i] : "");
  if (args.empty()) args.push_back(GetModuleFileName());
  SetCommandLineArgs(args);
}

const char* GetCommandLineA() {
  std::lock_guard<std::mutex> g(gLock);
  if (!gCommandLineSet) {
    gCommandLine = Quoted(GetModuleFileName(), true);
    gCommandLineSet = true;
  }
  return gCommandLine.c_str();
}

void SetExitProcessHook(std::function<void(UINT)> hook) {
  std::lock_guard<std::mutex> g(gLock);
  gExitHook = std::move(hook);
}

void ExitProcess(UINT code) {
  std::function<void(UINT)> hook;
  {
    std::lock_guard<std::mutex> g(gLock);
    hook = gExitHook;
  }
  if (hook) hook(code);
  std::exit(static_cast<int>(code));
}

}  // namespace plat
