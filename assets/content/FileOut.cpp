// Temporary-file-and-rename writer shared by every generator.
#include "assets/content/FileOut.h"

#include <cstdio>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <system_error>

namespace assets {

namespace {

void WriteBytes(const std::filesystem::path& path, const char* data, size_t size)
{
    std::error_code ec;
    if (path.has_parent_path())
        std::filesystem::create_directories(path.parent_path(), ec);
    if (ec)
        throw std::runtime_error("cannot create folder for " + path.string() + ": " + ec.message());

    std::filesystem::path temp = path;
    temp += ".tmp";
    {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        if (!out)
            throw std::runtime_error("cannot create " + temp.string());
        out.write(data, static_cast<std::streamsize>(size));
        out.flush();
        if (!out) {
            out.close();
            std::filesystem::remove(temp, ec);
            throw std::runtime_error("cannot write " + temp.string());
        }
    }
    std::filesystem::rename(temp, path, ec);
    if (ec) {
        std::error_code ignored;
        std::filesystem::remove(temp, ignored);
        throw std::runtime_error("cannot rename " + temp.string() + " to " + path.string() + ": " + ec.message());
    }
}

} // namespace

void WriteFileAtomic(const std::filesystem::path& path, const std::vector<uint8_t>& bytes)
{
    WriteBytes(path, reinterpret_cast<const char*>(bytes.data()), bytes.size());
}

void WriteFileAtomic(const std::filesystem::path& path, std::string_view text)
{
    WriteBytes(path, text.data(), text.size());
}

std::vector<uint8_t> ReadWholeFile(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!std::filesystem::is_regular_file(path) || !in)
        throw std::runtime_error("cannot open " + path.string());
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad())
        throw std::runtime_error("cannot read " + path.string());
    return bytes;
}

} // namespace assets
