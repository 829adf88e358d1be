#include "MP3Coder.h"

BE_ERR TMP3Coder::EncodeChunk(const void* block, uint8_t* output, uint32_t& count)
{
    return EncodeChunk(block, SamplesPerChunk(), output, count);
}

BE_ERR TMP3Coder::EncodeChunk(const void* block, uint32_t samples, uint8_t* output, uint32_t& count)
{
    count = 0;
    return beEncodeChunk(StreamHandle(), samples, static_cast<const int16_t*>(block), output, &count);
}
