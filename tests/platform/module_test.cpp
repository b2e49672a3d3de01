// The stand-in library table: names fold case and paths, missing names and functions fail.
#include "platform/Module.h"

#include <gtest/gtest.h>

namespace {
int Answer() { return 42; }
}

TEST(Module, FindsRegisteredFunctionsByNameWhateverTheCase) {
  plat::RegisterModule("answer.dll", {{"Answer", reinterpret_cast<plat::FARPROC>(&Answer)}});
  plat::HMODULE m = plat::LoadLibrary("C:\\Windows\\ANSWER.DLL");
  ASSERT_NE(m, nullptr);
  auto fn = plat::ProcAs<int (*)()>(plat::GetProcAddress(m, "Answer"));
  ASSERT_NE(fn, nullptr);
  EXPECT_EQ(fn(), 42);
  EXPECT_EQ(plat::GetProcAddress(m, "answer"), nullptr);  // export names keep their case
  EXPECT_TRUE(plat::FreeLibrary(m));
}

TEST(Module, MissingOrRemovedLibrariesFailToLoad) {
  EXPECT_EQ(plat::LoadLibrary("nosuch.dll"), nullptr);
  EXPECT_EQ(plat::LoadLibrary(nullptr), nullptr);
  plat::RegisterModule("gone.dll", {});
  plat::UnregisterModule("gone.dll");
  EXPECT_EQ(plat::LoadLibrary("gone.dll"), nullptr);
}
