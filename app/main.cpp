// Entry point of quorvane: the puzzle game, run by the kernel in a window that stays until
// it is closed (headless: until SIGINT or SIGTERM).
#include "game/GameImpl.h"
#include "platform/Process.h"

int main(int argc, char** argv) {
  plat::SetCommandLineArgs(argc, argv);
  return Doduderor::GameMain(nullptr);
}
