// libFuzzer target: any bytes as the update script a server sends, read as the update wizard
// reads it: the program's section named in [Modules], its online version split into numbers
// and compared, the download address, the maintainer's address and name. Then the same bytes
// behind a section of known names in mixed case, which must read back under any case.
#include "UpdateScript.h"
#include "VersionInfo.h"

#include <QByteArray>
#include <QString>

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArray text(reinterpret_cast<const char*>(data), qsizetype(size));
    vyx::TUpdateScript script;
    script.LoadFromText(text);
    const QString exe = QStringLiteral("Sonoverne");
    const QString section = script.ReadString(QStringLiteral("Modules"), exe, QString());
    const QString online = script.ReadString(exe, QStringLiteral("FullVersion"), QString());
    TVersion v{};
    try {
        vyx::DispatchVersion(online.toStdString(), v);
    } catch (const vyx::EConvertError&) {
    }
    const TVersion installed{1, 5, 0, 0};
    // Never both newer and older.
    if (vyx::NewerAvailable(v, installed) && vyx::NewerAvailable(installed, v)) __builtin_trap();
    script.ReadString(section, QStringLiteral("DownLoad"), QString());
    script.ReadString(QStringLiteral("General"), QStringLiteral("EMail"), QString());
    script.ReadString(QStringLiteral("General"), QStringLiteral("Webmaster"), QString());
    // What the text says under a name as the seeds write it, it says under other ASCII cases.
    if (script.ReadString(QStringLiteral("MODULES"), QStringLiteral("sonoverne"), QString()) != section)
        __builtin_trap();

    // The first key of a section wins whatever follows, and is found under any case.
    script.LoadFromText("[Vyx Sonde]\r\nClé Mixte = Valeur  \r\ncLé mIXTE=Seconde\r\n" + text);
    for (const char* s : {"Vyx Sonde", "VYX SONDE", "vyx sonde"})
        for (const char* k : {"Clé Mixte", "CLé MIXTE", "clé mixte"})
            if (script.ReadString(QString::fromUtf8(s), QString::fromUtf8(k), QString()) != u"Valeur") __builtin_trap();
    return 0;
}
