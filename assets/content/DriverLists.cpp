// The two driver lists. The project's own software rasterizer heads the trusted list, so the
// 3D path is used wherever the program runs; the well-known vendors follow, and the refused
// list names adapters whose blending the renderer cannot rely on.
#include "assets/content/DriverLists.h"

#include "assets/content/FileOut.h"

namespace assets {

const std::vector<std::string>& TrustedDrivers()
{
    static const std::vector<std::string> list = {
        "Quorvane Software Rasterizer",
        "NVIDIA",
        "RADEON",
        "Intel(R) HD Graphics",
    };
    return list;
}

const std::vector<std::string>& RefusedDrivers()
{
    static const std::vector<std::string> list = {
        "S3 ViRGE",
        "Trident Blade3D",
        "Intel(R) 82810",
    };
    return list;
}

namespace {

std::string Lines(const std::vector<std::string>& lines)
{
    std::string text;
    for (const std::string& line : lines)
        text += line + "\n";
    return text;
}

} // namespace

void GenerateDriverLists(const std::filesystem::path& outDir)
{
    WriteFileAtomic(outDir / kTrustedDriversPath, Lines(TrustedDrivers()));
    WriteFileAtomic(outDir / kRefusedDriversPath, Lines(RefusedDrivers()));
}

} // namespace assets
