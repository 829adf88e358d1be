// CD drive letters: the CD devices that libcdio finds get D, E, ... in order, then the disc images
// (".cue" or ".toc") named in SONOVERNE_CD_IMAGES, separated by ":". Those letters, and only
// those, are CD-ROM drives.
#pragma once

#include <string>
#include <vector>

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

}  // namespace cdaudio
