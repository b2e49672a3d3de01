// The generated sounds read back as the sound loader reads WAV files (chunk by chunk) and
// checked for format, length, silent ends, no clipping, and a seamless loop for the bed.
#include "assets/content/Sounds.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

struct Wav {
    int format = 0, channels = 0, rate = 0, bits = 0;
    std::vector<int16_t> samples;
};

uint32_t Le(const std::vector<uint8_t>& b, size_t at, int bytes)
{
    uint32_t v = 0;
    for (int i = 0; i < bytes; ++i)
        v |= static_cast<uint32_t>(b[at + i]) << (8 * i);
    return v;
}

// Walks the chunks as the loader does: "RIFF", size, "WAVE", then id/size pairs.
bool ParseWav(const std::vector<uint8_t>& b, Wav& out)
{
    if (b.size() < 12 || std::memcmp(b.data(), "RIFF", 4) != 0 || std::memcmp(b.data() + 8, "WAVE", 4) != 0)
        return false;
    bool haveData = false;
    for (size_t pos = 12; pos + 8 <= b.size();) {
        const uint32_t size = Le(b, pos + 4, 4);
        const size_t body = pos + 8;
        if (body + size > b.size())
            return false;
        if (std::memcmp(b.data() + pos, "fmt ", 4) == 0) {
            out.format = static_cast<int>(Le(b, body, 2));
            out.channels = static_cast<int>(Le(b, body + 2, 2));
            out.rate = static_cast<int>(Le(b, body + 4, 4));
            out.bits = static_cast<int>(Le(b, body + 14, 2));
        } else if (std::memcmp(b.data() + pos, "data", 4) == 0) {
            for (size_t i = 0; i + 1 < size; i += 2)
                out.samples.push_back(static_cast<int16_t>(Le(b, body + i, 2)));
            haveData = true;
        }
        pos = body + size;
    }
    return haveData;
}

class SoundsTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        dir_ = fs::temp_directory_path() / ("quorvane_sounds_" + std::to_string(::getpid()));
        assets::GenerateSounds(dir_);
    }
    static void TearDownTestSuite() { fs::remove_all(dir_); }
    static Wav Load(const std::string& path)
    {
        std::ifstream in(dir_ / path, std::ios::binary);
        const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        Wav wav;
        EXPECT_TRUE(ParseWav(bytes, wav)) << path;
        EXPECT_EQ(bytes.size(), 44 + wav.samples.size() * 2) << path << ": a plain 44-byte header";
        return wav;
    }
    static inline fs::path dir_;
};

TEST_F(SoundsTest, EverySoundIsPcmMono16BitOfFittingLength)
{
    // Longest playing time of each sound, from how the game uses it.
    const std::vector<std::pair<std::string, std::pair<double, double>>> lengths = {
        {"sounds/click.wav", {0.01, 0.1}},     {"sounds/game_start.wav", {0.3, 2.0}},
        {"sounds/back.wav", {8.0, 40.0}},      {"sounds/wind.wav", {2.0, 10.0}},
        {"sounds/slide.wav", {0.05, 0.5}},     {"sounds/help.wav", {0.2, 1.5}},
        {"sounds/game_over.wav", {0.8, 3.0}},  {"sounds/menu_command.wav", {0.1, 0.5}},
    };
    ASSERT_EQ(assets::SoundRecipes().size(), lengths.size());
    for (const auto& [path, range] : lengths) {
        SCOPED_TRACE(path);
        const Wav w = Load(path);
        EXPECT_EQ(w.format, 1);
        EXPECT_EQ(w.channels, 1);
        EXPECT_EQ(w.bits, 16);
        EXPECT_EQ(w.rate, assets::kSoundRate);
        const double seconds = static_cast<double>(w.samples.size()) / w.rate;
        EXPECT_GE(seconds, range.first);
        EXPECT_LE(seconds, range.second);
        int peak = 0;
        for (int16_t s : w.samples)
            peak = std::max(peak, std::abs(static_cast<int>(s)));
        EXPECT_GT(peak, 3000) << "audible";
        EXPECT_LT(peak, 32767) << "not clipped";
    }
}

TEST_F(SoundsTest, OneShotsStartAndEndSilentAndTheBedLoopsWithoutAClick)
{
    for (const assets::SoundRecipe& r : assets::SoundRecipes()) {
        SCOPED_TRACE(r.path);
        const Wav w = Load(r.path);
        ASSERT_GT(w.samples.size(), 4u);
        const auto& s = w.samples;
        if (!r.loops) {
            EXPECT_LE(std::abs(s.front()), 64);
            EXPECT_LE(std::abs(s.back()), 64);
            continue;
        }
        // Across the seam the wave bends no more sharply than it does almost anywhere inside.
        std::vector<int> bends;
        for (size_t i = 1; i + 1 < s.size(); ++i)
            bends.push_back(std::abs((s[i + 1] - s[i]) - (s[i] - s[i - 1])));
        std::sort(bends.begin(), bends.end());
        const int typical = bends[bends.size() * 99 / 100];
        const size_t n = s.size();
        const int seamBend1 = std::abs((s[0] - s[n - 1]) - (s[n - 1] - s[n - 2]));
        const int seamBend2 = std::abs((s[1] - s[0]) - (s[0] - s[n - 1]));
        EXPECT_LE(seamBend1, typical);
        EXPECT_LE(seamBend2, typical);
    }
}

} // namespace
