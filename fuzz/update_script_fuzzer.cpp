// libFuzzer target: any bytes as the update script a server sends, read as the update wizard
// reads it: the program's section named in [Modules], its online version split into numbers
// and compared, the download address, the maintainer's address and name.
#include "UpdateScript.h"
#include "VersionInfo.h"

#include <QByteArray>
#include <QString>

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    vyx::TUpdateScript script;
    script.LoadFromText(QByteArray(reinterpret_cast<const char*>(data), qsizetype(size)));
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
    // What the text says under a name, it says under the same name in other ASCII cases.
    if (script.ReadString(QStringLiteral("MODULES"), QStringLiteral("sonoverne"), QStringLiteral("\1")) !=
        script.ReadString(QStringLiteral("modules"), QStringLiteral("SONOVERNE"), QStringLiteral("\1")))
        __builtin_trap();
    return 0;
}
