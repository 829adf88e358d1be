// What a run over a list of files could not do, file by file, told in its closing message: the
// window's own closing text first, then the files that failed, each with why, and the files that
// were done only in part.
//
//   ui::RunReport report;
//   for (...) if (!saved) report.add(path, why);
//   report.show(this, caption, QStringLiteral("Terminé"), QStringLiteral("Ces fichiers n'ont pas pu ..."));
#pragma once

#include <QString>
#include <string>
#include <vector>

class QWidget;

namespace ui {

class RunReport {
public:
    struct Entry {
        std::string file;  // path bytes
        QString why;       // may be empty
    };

    // A file the run could not process.
    void add(const std::string& file, const QString& why = QString());
    // A file processed, but with something left as it was (`what` says what).
    void addNote(const std::string& file, const QString& what);

    // The outside program that could not be started, if any: it then heads the message.
    std::string missingProgram;

    bool empty() const { return failed_.empty() && noted_.empty(); }
    const std::vector<Entry>& failed() const { return failed_; }
    const std::vector<Entry>& noted() const { return noted_; }

    // `done` alone when nothing is to be told; else `done` (or the missing program), then the
    // failed files after `failedIntro` and the noted ones after `notedIntro`.
    QString message(const QString& done, const QString& failedIntro, const QString& notedIntro = QString()) const;
    // The closing box: an OK box, with the warning icon when something is told.
    void show(QWidget* owner, const QString& caption, const QString& done, const QString& failedIntro,
              const QString& notedIntro = QString()) const;

private:
    std::vector<Entry> failed_;
    std::vector<Entry> noted_;
};

}  // namespace ui
