// A drive's own faults imitated on a disc image, which is then read with verification as a drive
// is: the function sees every read of the ripping layer (first sector, sector count, the samples
// read) and may change the samples, as a drive that loses its place does.
#pragma once

#include <cstdint>
#include <functional>

using CR_ReadFault = std::function<void(int32_t firstSector, long sectors, int16_t* samples)>;
void CR_SetReadFault(CR_ReadFault fault);
