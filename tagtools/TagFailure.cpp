#include "TagFailure.h"

#include "RunReport.h"

#include <string_view>

QString tagFailureReason(TTagStatus status)
{
    switch (status & 0xFF00) {
    case tagstatus::FileNotFound: return QStringLiteral("le fichier est introuvable ou ne peut pas être ouvert");
    case tagstatus::FileProtected: return QStringLiteral("le fichier est protégé en écriture");
    case tagstatus::ReadError: return QStringLiteral("erreur de lecture");
    case tagstatus::WriteError: return QStringLiteral("erreur d'écriture");
    case tagstatus::IoError: return QStringLiteral("erreur d'entrée-sortie");
    case tagstatus::UnsupportedVersion:
    case tagstatus::RevisionNotWritable: return QStringLiteral("cette version de tag ne peut pas être remplacée");
    case tagstatus::TagTooLarge: return QStringLiteral("le tag serait trop grand");
    case tagstatus::EncryptionConflict:
    case tagstatus::GroupingConflict:
    case tagstatus::DataLengthOnEncrypted:
        return QStringLiteral("le tag contient une trame chiffrée ou groupée qui ne peut pas être réécrite");
    case tagstatus::NoFrames: return QStringLiteral("un tag sans aucune information ne peut pas être enregistré");
    // Tags are read at offset 0: only a file without a single byte has nothing there.
    case tagstatus::OffsetOutsideFile: return emptyFileReason();
    case tagstatus::CorruptTag:
    case tagstatus::TagPastEndOfFile:
    case tagstatus::InvalidFrameIdentifier:
        return QStringLiteral("le tag existant n'a pas pu être lu, il n'est pas remplacé");
    default: return QStringLiteral("erreur %1").arg(status, 4, 16, QLatin1Char('0'));
    }
}

QString emptyFileReason() { return QStringLiteral("le fichier est vide"); }

QString tagsNotSavedIntro() { return QStringLiteral("Les tags de ces fichiers n'ont pas pu être enregistrés"); }

QString fieldsKeptIntro()
{
    return QStringLiteral(
        "Dans ces fichiers, les champs ID3V2 qui n'ont pas pu être lus entièrement ont été gardés tels quels");
}

QString tagFieldName(const char* frameID)
{
    static const struct {
        std::string_view frame;
        const char* name;
    } names[] = {{"TIT2", "titre"}, {"TPE1", "artiste"}, {"TALB", "album"},
                 {"TYER", "année"}, {"TCON", "genre"},   {"TRCK", "piste"}};
    for (const auto& [frame, name] : names)
        if (frame == frameID) return QString::fromUtf8(name);
    return QString::fromLatin1(frameID);
}

QString commentFieldName() { return QStringLiteral("commentaire"); }

void rewriteTag(Tid3v2tag& tag, const std::string& path, ui::RunReport& report,
                const std::function<QStringList()>& change)
{
    const TTagStatus loaded = tag.LoadFromFile(path, 0);
    if (!tagOk(loaded)) {
        if (!mayChangeTag(loaded)) report.add(path, tagFailureReason(loaded));
        return;
    }
    const bool hadFrames = tag.Frames.Count() > 0;
    const QStringList kept = change();
    const TTagStatus saved = tag.SaveToFile("=", 255, 255, -1);
    if (!tagOk(saved)) {
        if (hadFrames || (saved & 0xFF00) != tagstatus::NoFrames) report.add(path, tagFailureReason(saved));
        return;
    }
    if (!kept.isEmpty()) report.addNote(path, kept.join(QStringLiteral(", ")));
}
