// The SCSI pass-through library "wnaspi32": loaded at start-up when present, its two entry
// points bound, never called. A missing library is not an error.
#pragma once

namespace wnaspi32 {

void Load();
void Unload();
bool Loaded();

}  // namespace wnaspi32
