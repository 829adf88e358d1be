#include "WalkReport.h"

#include "Dialogs.h"
#include "Display.h"
#include "Input.h"
#include "Scrute.h"

#include <vector>

namespace ui {

namespace {

// A path too long for a path is too long for a box: its start and its end, which name it.
QString shortened(const std::string& path)
{
    constexpr qsizetype Head = 60, Tail = 90;
    const QString text = platform::toDisplayLine(path);
    if (text.size() <= Head + Tail + 10) return text;
    return text.left(Head) + QChar(0x2026) + text.right(Tail);
}

void appendKind(QString& text, const std::vector<const TScruteFailure*>& missed, const QString& one,
                const QString& several)
{
    if (missed.empty()) return;
    if (!text.isEmpty()) text += QStringLiteral("\r\n\r\n");
    text += missed.size() == 1 ? one : several.arg(missed.size());
    constexpr std::size_t Shown = 10;
    for (std::size_t i = 0; i < missed.size() && i < Shown; ++i)
        text += QStringLiteral("\r\n") + shortened(missed[i]->path) + QStringLiteral(" (") +
                QString::fromStdString(platform::errorText(missed[i]->error)) + QLatin1Char(')');
    if (missed.size() > Shown) text += QStringLiteral("\r\n(et %1 autre(s))").arg(missed.size() - Shown);
}

}  // namespace

QString walkFailures(const TScruteDossier& walker)
{
    std::vector<const TScruteFailure*> folders, files;
    for (const TScruteFailure& failure : walker.Unreadable()) (failure.folder ? folders : files).push_back(&failure);
    QString text;
    appendKind(text, folders,
               QStringLiteral("1 dossier n'a pas pu être lu ; les fichiers qu'il contient ne sont pas dans la liste :"),
               QStringLiteral(
                   "%1 dossiers n'ont pas pu être lus ; les fichiers qu'ils contiennent ne sont pas dans la liste :"));
    appendKind(text, files, QStringLiteral("1 fichier n'a pas pu être lu ; il n'est pas dans la liste :"),
               QStringLiteral("%1 fichiers n'ont pas pu être lus ; ils ne sont pas dans la liste :"));
    return text;
}

void tellWalkFailures(QWidget* owner, const TScruteDossier& walker)
{
    const QString text = walkFailures(walker);
    if (!text.isEmpty()) Dialogs::MessageBox(owner, text, QStringLiteral("Sonoverne"), MB_OK | MB_ICONWARNING);
}

}  // namespace ui
