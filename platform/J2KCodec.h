// The stand-in for the JPEG 2000 codec library "j2k-codec.dll": decodes J2K codestreams and
// JP2 files with OpenJPEG behind the entry points a program looks up by name.
#pragma once

namespace plat {

// Adds "j2k-codec.dll" to the module table.
void RegisterJ2KCodecModule();

}  // namespace plat
