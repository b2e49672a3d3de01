// The live-tuning re-parser on arbitrary source text: marked sites of every kind are
// registered on the first lines of the file and the file is re-parsed. Nothing may crash,
// hang or run past a buffer, whatever the text holds.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include "framework/core/OrvoAppBase.h"
#include "framework/core/Tuning.h"
#include "platform/MessageBox.h"

// The re-parser reports through the application when there is one; here there is none,
// and its boxes are silenced by the reporter below, so the box call is never reached.
Orvo::OrvoAppBase* Orvo::gOrvoAppBase = nullptr;
int plat::MessageBoxA(plat::HWND, const char*, const char*, plat::UINT) { return 1; }

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const std::string file = "/tmp/quorvane-modval-fuzz-" + std::to_string(getpid()) + ".cpp";
  std::FILE* f = std::fopen(file.c_str(), "wb");
  if (!f) return 0;
  std::fwrite(data, 1, size, f);
  std::fclose(f);

  Orvo::ModValRegistry registry;
  registry.SetReporter([](const std::string&, const std::string&) {});
  registry.Register((file + "1,0").c_str(), Orvo::ModValRecord::From(1));
  registry.Register((file + "1,1").c_str(), Orvo::ModValRecord::From(2.5));
  registry.Register((file + "2,0").c_str(), Orvo::ModValRecord::From("text"));
  registry.Register((file + "3,0").c_str(), Orvo::ModValRecord::From(true));
  registry.ReparseAll();
  return 0;
}
