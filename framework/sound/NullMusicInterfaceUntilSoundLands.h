// Stands in for the Bass and FMod music back-ends, which are not built yet: it plays no
// music. The sound issue replaces it with the real back-ends.
#pragma once

#include "framework/sound/MusicInterface.h"

namespace Orvo {

class NullMusicInterfaceUntilSoundLands : public MusicInterface {};

}  // namespace Orvo
