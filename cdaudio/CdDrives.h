// CD drive letters: the CD devices that libcdio finds get D, E, ... in order, then the disc images
// (".cue" or ".toc") named in SONOVERNE_CD_IMAGES, separated by ":". Those letters, and only
// those, are CD-ROM drives.
#pragma once

#include <string>
#include <vector>

typedef struct _CdIo CdIo_t;

namespace cdaudio {

constexpr unsigned DriveCdRom = 5;  // drive type of a CD-ROM letter

// Device paths and image files in letter order (D first).
std::vector<std::string> cdSources();
// The source behind a drive letter (either case), or an empty text.
std::string cdSourceOfLetter(char letter);
// 5 for a CD letter, 0 otherwise.
unsigned driveType(char letter);
// Whether a source is a disc image rather than a device.
bool isImageSource(const std::string& source);

// A disc image's sheet and every data file it names, looked at without waiting on any (libcdio
// would wait for ever on a FIFO in their place): empty when each one that exists is a regular
// file that can be read, else the French text of the first that is not, naming it. A device
// source is not looked at.
std::string imageFault(const std::string& source);
// The files a disc image's sheet makes libcdio open, besides the sheet: each data file it names
// (a name without a folder both beside the sheet and in the current folder), and for a CUE
// sheet the ".bin" (or ".BIN") of its own name.
std::vector<std::string> imageDataPaths(const std::string& source, const std::string& sheet);

// Opens a device or a disc image with libcdio, an image only once imageFault found nothing
// (its text then goes to fault); null when it cannot.
CdIo_t* openCdSource(const std::string& source, std::string* fault = nullptr);

}  // namespace cdaudio
