// libFuzzer target: any bytes as a WAV file given to the WAV-to-MP3 encoder, which walks its
// chunks to the format and the audio and encodes what it found. Whatever the bytes, the run
// ends with an MP3 or with the encoder's error.
#include "LameCoder.h"
#include "ScratchFile.h"

#include <unistd.h>

#include <cstdint>
#include <stdexcept>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string& path = ScratchFile(".wav");
    if (!WriteScratchFile(path, data, size)) return 0;
    TLameCoder coder;
    coder.SetInputFiles({path});
    try {
        coder.Encode();
    } catch (const std::runtime_error&) {
    }
    unlink(coder.OutputFiles()[0].c_str());
    return 0;
}
