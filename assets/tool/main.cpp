// quorvane_assets: generates the game's data into a staging folder and writes the run
// folder from it ("main.pak", "data.pak" and the plain files; see AssetLayout.cpp).
//   quorvane_assets <run folder> <staging folder>
#include <cstdio>
#include <exception>
#include <filesystem>

#include "assets/content/Content.h"
#include "assets/tool/AssetLayout.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: %s <run folder> <staging folder>\n", argc > 0 ? argv[0] : "quorvane_assets");
    return 2;
  }
  const std::filesystem::path runDir = argv[1];
  const std::filesystem::path staging = argv[2];
  try {
    std::filesystem::remove_all(staging);
    assets::GenerateContent(staging);
    const assets::RunFolderSummary summary = assets::WriteRunFolder(staging, runDir);
    std::printf("quorvane_assets: main.pak %zu entries, data.pak %zu entries, %zu plain files in %s\n",
                summary.mainPakEntries, summary.dataPakEntries, summary.plainFiles, runDir.string().c_str());
  } catch (const std::exception& e) {
    std::fprintf(stderr, "quorvane_assets: %s\n", e.what());
    return 1;
  }
  return 0;
}
