// The placement rules of the run folder, and writing it from a generated tree.
//
// - "fonts/..."  -> main.pak: the framework's bitmap fonts, readable from the application's
//                   start-up on (it adds main.pak before the game adds data.pak).
// - "sounds/..." -> plain copies: the music back-end opens ".wav" and ".ogg" files from the
//                   disk by name, and the game offers every sound to it first.
// - top-level files ("vhw.dat", "vhwb.dat", the window icon, ...) -> plain copies: they are
//                   opened with plain file calls from the program's folder.
// - everything else ("images/", "maps/", "effects/", ...) -> data.pak, which the game adds
//                   at its initialisation and reads through the pak layer.
#include "assets/tool/AssetLayout.h"

#include "assets/content/FileOut.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace assets {

namespace {

struct PlacementRule {
  const char* folder;  // first path component, or nullptr for files at the top of the tree
  AssetPlace place;
};

constexpr PlacementRule kRules[] = {
    {"fonts", AssetPlace::MainPak},
    {"sounds", AssetPlace::PlainFile},
    {nullptr, AssetPlace::PlainFile},
};

std::string ReadAll(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void CopyIfChanged(const std::filesystem::path& from, const std::filesystem::path& to) {
  const std::string bytes = ReadAll(from);
  if (std::filesystem::exists(to) && ReadAll(to) == bytes) return;
  WriteFileAtomic(to, std::string_view(bytes));
}

}  // namespace

AssetPlace PlaceOf(const std::string& relativePath) {
  const std::size_t slash = relativePath.find('/');
  const std::string folder = slash == std::string::npos ? std::string() : relativePath.substr(0, slash);
  for (const PlacementRule& rule : kRules) {
    if (rule.folder == nullptr ? folder.empty() : folder == rule.folder) return rule.place;
  }
  return AssetPlace::DataPak;
}

RunFolderSummary WriteRunFolder(const std::filesystem::path& generated, const std::filesystem::path& runDir) {
  std::vector<PakSource> mainPak;
  std::vector<PakSource> dataPak;
  std::vector<std::filesystem::path> plain;
  for (PakSource& source : CollectTree(generated)) {
    std::string relative = source.name;
    std::replace(relative.begin(), relative.end(), '\\', '/');
    switch (PlaceOf(relative)) {
      case AssetPlace::MainPak: mainPak.push_back(std::move(source)); break;
      case AssetPlace::DataPak: dataPak.push_back(std::move(source)); break;
      case AssetPlace::PlainFile: plain.emplace_back(relative); break;
    }
  }
  std::filesystem::create_directories(runDir / "save");
  WritePakFile(runDir / "main.pak", mainPak);
  WritePakFile(runDir / "data.pak", dataPak);
  for (const std::filesystem::path& relative : plain) CopyIfChanged(generated / relative, runDir / relative);
  return RunFolderSummary{mainPak.size(), dataPak.size(), plain.size()};
}

}  // namespace assets
