// The CD ripping interface: CR_* functions over libcdio-paranoia on the lettered CD sources.
// Result codes: 0 success, 1 error, 3 chunk delivered with a jitter error, 4 last chunk
// delivered.
#pragma once

#include <cstddef>
#include <cstdint>

enum TDriveType : uint8_t {
    GENERIC,
    TOSHIBA,
    TOSHIBANEW,
    IBM,
    NEC,
    DEC,
    IMS,
    KODAK,
    RICOH,
    HP,
    PHILIPS,
    PLASMON,
    GRUNDIGCDR100IPW,
    MITSUMICDR,
    PLEXTOR,
    SONY,
    YAMAHA,
    NRC,
    IMSCDD5,
    CUSTOMDRIVE
};
enum TReadMethod : uint8_t { READMMC, READ10, READNEC, READSONY, READMMC2, READMMC3, READC1, READC2, READC3 };
enum TSetSpeed : uint8_t { SPEEDNONE, SPEEDMMC, SPEEDSONY, SPEEDYAMAHA, SPEEDTOSHIBA, SPEEDPHILIPS, SPEEDNEC };
enum TEndian : uint8_t { BIGENDIAN, LITTLEENDIAN };
enum TEnableMode : uint8_t { ENABLENONE, ENABLESTD };
enum TOutputFormat : uint8_t { STEREO44100, MONO44100, STEREO22050, MONO22050, STEREO11025, MONO11025 };

constexpr int32_t CDEX_OK = 0;
constexpr int32_t CDEX_ERROR = 1;
constexpr int32_t CDEX_JITTER_ERROR = 3;
constexpr int32_t CDEX_RIPPING_DONE = 4;

#pragma pack(push, 1)
struct TDriveTable {
    TDriveType DriveType;
    TReadMethod ReadMethod;
    TSetSpeed SetSpeed;
    TEndian Endian;
    TEnableMode EnableMode;
    int32_t Density;
    int32_t Atapi;  // 32-bit Boolean
};

// The drive parameter record; the program touches only the named fields.
struct TCDROMParams {
    char lpszCDROMID[256];
    uint8_t reserved1[20];
    int32_t nSpeed;
    uint8_t reserved2[4];
    int32_t bJitterCorrection;  // -1 on, 0 off
    uint8_t reserved3[4];
    TDriveTable DriveTable;
    uint8_t reserved4[7];
    TOutputFormat OutputFormat;
    uint8_t reserved5[11];
};

// One entry of the table of contents, in the low 6 bytes of CR_GetTocEntry's value.
struct TTocEntry {
    uint32_t dwStartSector;
    uint8_t btFlag;  // 0x10: audio
    uint8_t btTrackNumber;
};
#pragma pack(pop)
static_assert(sizeof(TDriveTable) == 13);
static_assert(sizeof(TCDROMParams) == 324);
static_assert(offsetof(TCDROMParams, nSpeed) == 276);
static_assert(offsetof(TCDROMParams, bJitterCorrection) == 284);
static_assert(offsetof(TCDROMParams, DriveTable) == 292);
static_assert(offsetof(TCDROMParams, OutputFormat) == 312);

int32_t CR_GetCDRipVersion();
int32_t CR_Init();
int32_t CR_GetCDROMParameters(TCDROMParams* params);
int32_t CR_SetCDROMParameters(const TCDROMParams* params);
int32_t CR_GetActiveCDROM();
int32_t CR_SetActiveCDROM(int32_t drive);
int32_t CR_GetNumCDROM();
int32_t CR_ReadToc();
int32_t CR_GetNumTocEntries();
uint64_t CR_GetTocEntry(int32_t index);
int32_t CR_OpenRipper(int32_t* bufferSize, int32_t firstSector, int32_t lastSector);
int32_t CR_RipChunk(uint8_t* buffer, int32_t* bytes);
int32_t CR_GetPercentCompleted();
void CR_GetLastJitterErrorPosition(uint32_t* first, uint32_t* second);
int32_t CR_GetNumberOfJitterErrors();
int32_t CR_CloseRipper();

inline TTocEntry CR_TocEntryOf(uint64_t v) { return TTocEntry{uint32_t(v), uint8_t(v >> 32), uint8_t(v >> 40)}; }
