#!/bin/bash
# Builds the libFuzzer targets of tests/fuzz with clang, AddressSanitizer and UBSan, and runs
# each for a while. Not part of CI.
#   tests/fuzz/run.sh [seconds per target, default 60] [target names...]
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
out=${FUZZ_OUT:-$root/build-fuzz}
seconds=${1:-60}
shift || true
mkdir -p "$out"

# Each target: its source under tests/fuzz and the project sources it needs.
declare -A sources=(
  [pak]="platform/Files.cpp framework/resources/PakInterface.cpp"
  [xml]="platform/Files.cpp framework/resources/PakInterface.cpp framework/resources/XmlReader.cpp"
  [demo]="framework/core/Demo.cpp framework/core/Buffer.cpp framework/core/Common.cpp platform/Threads.cpp platform/Debug.cpp"
  [registry]="platform/Registry.cpp"
  [descparser]="framework/resources/DescParser.cpp framework/resources/PakInterface.cpp platform/Files.cpp framework/core/Common.cpp platform/Threads.cpp platform/Debug.cpp"
  [effect_description]="kernel/effects/EffectDescription.cpp"
  [player_file]="game/Player.cpp kernel/common/GameFile.cpp framework/resources/PakInterface.cpp platform/Files.cpp framework/core/Common.cpp platform/Threads.cpp platform/Debug.cpp"
  [map_file]="game/MapList.cpp kernel/common/GameFile.cpp kernel/common/Helpers.cpp framework/resources/PakInterface.cpp platform/Files.cpp framework/core/Common.cpp platform/Threads.cpp platform/Debug.cpp platform/Random.cpp"
  [sound]="framework/sound/DSoundManager.cpp framework/sound/DSoundInstance.cpp framework/sound/SoundLoaders.cpp framework/sound/MusicLibraries.cpp platform/DirectSound.cpp platform/AudioMixer.cpp platform/WaveOutMixer.cpp platform/Module.cpp platform/Time.cpp framework/resources/PakInterface.cpp platform/Files.cpp framework/core/Common.cpp platform/Threads.cpp platform/Debug.cpp"
)
# The live-tuning re-parser (the application's vtable is not linked, so UBSan's vptr check is off).
sources[modval]="framework/core/Tuning.cpp framework/core/Common.cpp platform/Threads.cpp platform/Debug.cpp platform/Folders.cpp"
# The image readers: one target each, all over the same sources and libraries.
image_sources="tests/fuzz/image_fuzz_support.cpp framework/graphics/ImageLib.cpp framework/graphics/ImageLibPNG.cpp framework/graphics/ImageLibJPEG.cpp framework/resources/PakInterface.cpp platform/Files.cpp platform/Module.cpp platform/J2KCodec.cpp"
declare -A extra=()
extra[modval]="-fno-sanitize=vptr"
extra[sound]="-I/usr/include/SDL2 -lSDL2 -lvorbisidec"
for t in tga png jpeg gif j2k; do
  sources[$t]=$image_sources
  extra[$t]="-I/usr/include/libpng16 -I/usr/include/openjpeg-2.5 -lpng -ljpeg -lopenjp2 -lz"
done

targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then targets=("${!sources[@]}"); fi
for t in "${targets[@]}"; do
  srcs=("$root/tests/fuzz/${t}_fuzz.cpp")
  for s in ${sources[$t]}; do srcs+=("$root/$s"); done
  clang++ -std=c++20 -O1 -g -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined \
    -I"$root" "${srcs[@]}" ${extra[$t]:-} -o "$out/${t}_fuzz"
  mkdir -p "$out/corpus-$t"
  # Targets with seed files start from them.
  if [ -d "$root/tests/fuzz/seeds/$t" ]; then cp -n "$root/tests/fuzz/seeds/$t"/* "$out/corpus-$t/" 2>/dev/null || true; fi
  "$out/${t}_fuzz" -max_total_time="$seconds" -artifact_prefix="$out/${t}-" "$out/corpus-$t"
done
