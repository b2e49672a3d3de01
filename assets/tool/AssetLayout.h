// Where each generated file goes in the run folder: into "main.pak", into "data.pak", or
// as a plain copy, for the files that their readers open from the disk by name.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "assets/tool/PakWriter.h"

namespace assets {

enum class AssetPlace { MainPak, DataPak, PlainFile };

// The place of a generated file, from its path below the generated tree ('/' separators).
AssetPlace PlaceOf(const std::string& relativePath);

struct RunFolderSummary {
  std::size_t mainPakEntries = 0;
  std::size_t dataPakEntries = 0;
  std::size_t plainFiles = 0;
};

// Packs the generated tree at `generated` into runDir/"main.pak" and runDir/"data.pak",
// copies the plain files, and makes the empty "save" folder the game writes players into.
// Every file is written to a temporary name and renamed. Throws std::runtime_error or
// std::filesystem::filesystem_error.
RunFolderSummary WriteRunFolder(const std::filesystem::path& generated, const std::filesystem::path& runDir);

}  // namespace assets
