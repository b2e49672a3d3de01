// The game's seven sounds and the developer keys' chime, synthesised (tones with envelopes, filtered noise) and written as
// 16-bit PCM mono WAV files.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace assets {

inline constexpr int kSoundRate = 22050;

struct SoundRecipe {
    std::string path;  // "sounds/click.wav"
    bool loops;        // played looped: the end must run into the start without a click
    std::vector<int16_t> (*synthesise)();
};

/// The seven sounds the game names, and the chime the framework's developer keys play.
const std::vector<SoundRecipe>& SoundRecipes();

/// A RIFF/WAVE file: "fmt " (PCM, mono, 16-bit, kSoundRate) and "data".
std::vector<uint8_t> EncodeWav(const std::vector<int16_t>& samples);

/// Writes every sound into outDir under its game path.
void GenerateSounds(const std::filesystem::path& outDir);

} // namespace assets
