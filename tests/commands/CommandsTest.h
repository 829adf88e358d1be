// What the main window's command tests share: a collection folder per test walked by the main
// window, row selection in its list, a watch that closes the windows shown modally, and
// mutagen's reading of the files.
#pragma once

#include "Form.h"
#include "mp3gen.h"

#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonObject>
#include <QString>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

// Readable failure messages for texts.
inline void PrintTo(const QString& text, std::ostream* os) { *os << '"' << text.toStdString() << '"'; }

namespace cmdtest {

namespace gen = sonoverne::mp3gen;
using Strings = std::vector<std::string>;

// The run's temporary folder and the program folder set in it (without a trailing "/").
extern std::string tempRoot;
extern std::string programFolder;

gen::TagTexts texts(const std::string& artist, const std::string& title, const std::string& album = {});
std::string readBytes(const std::string& path);
bool exists(const std::string& path);
// Waits, processing events, until the file exists; false after a minute.
bool waitForFile(const std::string& path);
// An executable shell script that appends "<argument count>\n<arguments, one a line>" to log.
void writeRecordingScript(const std::string& script, const std::string& log);
// mutagen's reading of a file (see tag_probe.py); an empty object, the test failing, when the
// probe failed. One probe process serves a whole test.
QJsonObject probe(const std::string& path);
// A file name as the probe takes it.
QString probeName(const std::string& path);
// Runs the probe with other arguments; true when it succeeded, else the test fails.
bool runProbe(const QStringList& arguments);

// One window the watch found shown modally, and whether Qt held it modal.
struct ModalSeen {
    ui::Form* form;
    bool applicationModal;
};
// Runs action; every window shown modally meanwhile is handed to inModal (when given), then
// closed when still open. Returns them in the order they were shown.
std::vector<ModalSeen> whileModal(const std::function<void()>& action,
                                  const std::function<void(ui::Form*)>& inModal = {});

class Collection : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Writes a file of the collection; returns its full path.
    std::string put(const std::string& name, const std::string& bytes) const;
    std::string putTagged(const std::string& name, const gen::TagTexts& tags) const;
    std::string putUntagged(const std::string& name) const;
    // A file tagged by mutagen in ID3v2.4 UTF-8: each text ends with its terminator.
    std::string putTerminated(const std::string& name, const QString& artist, const QString& title,
                              const QString& comment = QString()) const;
    // A file whose tag mutagen writes (see tag_probe.py "write"): frames as a JSON list; with
    // `v1` "v1" also the ID3v1 block mutagen makes of them, with "v1only" that block alone.
    std::string putByMutagen(const std::string& name, int version, const QJsonArray& frames,
                             const QString& v1 = QString()) const;
    // A file tagged as today's taggers tag it, by mutagen in UTF-16 (ID3v2.3) or UTF-8 (ID3v2.4):
    // the title and artist, the album "l’été – live 𝄞", the genre "Cœur" and the French comment
    // "C’est la vie".
    std::string putWide(const std::string& name, int version,
                        const QString& title = QStringLiteral("Don’t Stop Me Now"),
                        const QString& artist = QStringLiteral("Dvořák Quartet")) const;
    // The settings file holds the collection folder and the extra lines (CR LF ended); then a
    // full reload, after which the list shows every file.
    void walk(const std::string& extraSettings = {}) const;

    static Strings listPaths();
    static int listRowOf(const std::string& path);
    // Selects exactly these files' rows of the list.
    static void select(const Strings& paths);

    std::string folder_;
};

}  // namespace cmdtest
