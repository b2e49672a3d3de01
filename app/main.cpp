// Entry point of quorvane.
//
// The game and its kernel are not part of this build yet, so main creates the framework's
// application object directly and runs it: a window that stays until it is closed (headless:
// until SIGINT or SIGTERM, which arrive as a close request). The game's own entry replaces
// this when it lands.
#include "framework/core/OrvoAppBase.h"
#include "platform/Process.h"

int main(int argc, char** argv) {
  plat::SetCommandLineArgs(argc, argv);
  auto* app = new Orvo::OrvoAppBase();
  app->mProductName = "Quorvane";
  app->mTitle = "Quorvane";
  app->mRegKey = "Quorvane";
  app->Init();
  app->Start();
  delete app;
  return 0;
}
