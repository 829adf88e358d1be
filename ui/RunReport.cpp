#include "RunReport.h"

#include "Dialogs.h"
#include "Display.h"
#include "FileSystem.h"

namespace ui {

namespace {

void appendList(QString& text, const QString& intro, const std::vector<RunReport::Entry>& entries)
{
    text += intro + QStringLiteral(" :");
    // A long list would make a box taller than the screen: the first names and a count.
    constexpr std::size_t Shown = 15;
    for (std::size_t i = 0; i < entries.size() && i < Shown; ++i) {
        text += QStringLiteral("\r\n") + platform::toDisplayLine(entries[i].file);
        if (!entries[i].why.isEmpty()) text += QStringLiteral(" (") + entries[i].why + QLatin1Char(')');
    }
    if (entries.size() > Shown) text += QStringLiteral("\r\n… et %1 autres").arg(entries.size() - Shown);
}

}  // namespace

void RunReport::add(const std::string& file, const QString& why) { failed_.push_back({file, why}); }

void RunReport::addNote(const std::string& file, const QString& what) { noted_.push_back({file, what}); }

QString RunReport::message(const QString& done, const QString& failedIntro, const QString& notedIntro) const
{
    if (empty()) return done;
    // The window's own text stands as it is; what follows ends its lines as it does, in CR LF.
    QString text;
    if (!missingProgram.empty() && !failed_.empty())
        text = QStringLiteral("Le programme « %1 » est introuvable ou n'a pas pu être lancé.\r\n\r\n")
                   .arg(platform::toDisplayLine(missingProgram));
    else text = done + QStringLiteral("\r\n\r\n");
    if (!failed_.empty()) appendList(text, failedIntro, failed_);
    if (!failed_.empty() && !noted_.empty()) text += QStringLiteral("\r\n\r\n");
    if (!noted_.empty()) appendList(text, notedIntro, noted_);
    return text;
}

void RunReport::show(QWidget* owner, const QString& caption, const QString& done, const QString& failedIntro,
                     const QString& notedIntro) const
{
    Dialogs::MessageBox(owner, message(done, failedIntro, notedIntro), caption,
                        empty() ? MB_OK : MB_OK | MB_ICONWARNING);
}

}  // namespace ui
