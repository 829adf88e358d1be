#include "CdAudioDevice.h"

#include "CdDrives.h"

#include <cdio/cdio.h>

#include <cstring>
#include <map>

namespace cdaudio {

namespace {

struct Device {
    CdIo_t* cd = nullptr;
    uint32_t timeFormat = 0;
};

std::map<uint32_t, Device>& devices()
{
    static std::map<uint32_t, Device> open;
    return open;
}

uint32_t nextId = 1;

// What was wrong with the files of the last image that could not be opened.
std::string& lastFileFault()
{
    static std::string text;
    return text;
}

uint32_t openDevice(uint32_t flags, OpenParams* p)
{
    if (!p) return ErrMissingParameter;
    if (!(flags & OpenElement) || !p->ElementName || !p->ElementName[0]) return ErrMissingParameter;
    if ((flags & OpenType) && (flags & OpenTypeId) && p->DeviceType != DeviceTypeCdAudio) return ErrInvalidDeviceName;
    std::string source = cdSourceOfLetter(p->ElementName[0]);
    if (source.empty()) return ErrInvalidDeviceName;
    CdIo_t* cd = openCdSource(source, &lastFileFault());
    if (!cd) return lastFileFault().empty() ? ErrDeviceNotReady : ErrFileRead;
    track_t first = cdio_get_first_track_num(cd);
    track_t count = cdio_get_num_tracks(cd);
    if (first == CDIO_INVALID_TRACK || count == CDIO_INVALID_TRACK || count == 0) {
        cdio_destroy(cd);
        return ErrDeviceNotReady;
    }
    uint32_t id = nextId++;
    devices()[id] = Device{cd, 0};
    p->DeviceId = id;
    return 0;
}

// Frames from the start of the disc (the 2-second lead-in included), as the device reports them.
uint32_t trackStart(CdIo_t* cd, uint32_t track)
{
    return uint32_t(cdio_get_track_lba(cd, track_t(cdio_get_first_track_num(cd) + track - 1)));
}

uint32_t status(Device& d, uint32_t flags, StatusParams* p)
{
    if (!p) return ErrMissingParameter;
    if (!(flags & StatusItem)) return ErrMissingParameter;
    uint32_t count = cdio_get_num_tracks(d.cd);
    uint32_t leadOut = uint32_t(cdio_get_track_lba(d.cd, CDIO_CDROM_LEADOUT_TRACK));
    if (p->Item == ItemNumberOfTracks) {
        p->Return = count;
        return 0;
    }
    if (p->Item != ItemLength && p->Item != ItemPosition) return ErrUnsupportedFunction;
    if (!(flags & StatusTrack)) {
        // The whole disc: its length, or the start of its first track.
        uint32_t first = trackStart(d.cd, 1);
        p->Return = packMsf(p->Item == ItemLength ? leadOut - first : first);
        return 0;
    }
    if (p->Track < 1 || p->Track > count) return ErrOutOfRange;
    uint32_t start = trackStart(d.cd, p->Track);
    if (p->Item == ItemPosition) {
        p->Return = packMsf(start);
        return 0;
    }
    // A track runs to the start of the next one; the last one ends a frame before the lead-out,
    // as drives report it.
    uint32_t end = p->Track < count ? trackStart(d.cd, p->Track + 1) : leadOut - 1;
    p->Return = packMsf(end - start);
    return 0;
}

}  // namespace

uint32_t sendDeviceCommand(uint32_t deviceId, uint32_t message, uint32_t flags, void* params)
{
    if (message == CmdOpen) return openDevice(flags, static_cast<OpenParams*>(params));
    auto it = devices().find(deviceId);
    if (it == devices().end()) return ErrInvalidDeviceId;
    switch (message) {
    case CmdClose:
        cdio_destroy(it->second.cd);
        devices().erase(it);
        return 0;
    case CmdSet: {
        auto* p = static_cast<SetParams*>(params);
        if (!(flags & SetTimeFormat) || !p) return ErrMissingParameter;
        if (p->TimeFormat != FormatMsf) return ErrUnsupportedFunction;
        it->second.timeFormat = p->TimeFormat;
        return 0;
    }
    case CmdStatus: return status(it->second, flags, static_cast<StatusParams*>(params));
    default: return ErrUnrecognizedCommand;
    }
}

bool deviceErrorText(uint32_t code, char* buffer, uint32_t size)
{
    const char* text;
    switch (code) {
    case ErrInvalidDeviceId:
        text = "Identificateur de périphérique non valide. Utilisez l'identificateur renvoyé à "
               "l'ouverture du périphérique.";
        break;
    case ErrUnrecognizedCommand: text = "Le pilote ne reconnaît pas la commande spécifiée."; break;
    case ErrInvalidDeviceName:
        text = "Le périphérique spécifié n'est pas ouvert ou n'est pas reconnu : ce lecteur n'est "
               "pas un lecteur de CD.";
        break;
    case ErrUnsupportedFunction: text = "Le périphérique ne prend pas en charge cette fonction."; break;
    case ErrDeviceNotReady: text = "Le périphérique n'est pas prêt : aucun CD audio lisible dans le lecteur."; break;
    case ErrOutOfRange: text = "Le paramètre spécifié est hors de la plage de la commande spécifiée."; break;
    case ErrMissingParameter: text = "Il manque un paramètre à la commande spécifiée."; break;
    case ErrFileRead: text = lastFileFault().c_str(); break;
    default:
        if (size) buffer[0] = 0;
        return false;
    }
    if (!size) return true;
    std::strncpy(buffer, text, size - 1);
    buffer[size - 1] = 0;
    return true;
}

}  // namespace cdaudio
