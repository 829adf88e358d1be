// The extraction run of the CD window: file names from the template, the rip of each selected
// track, the new MP3's tag, the progress and the stop.
#include "Unit11.h"

#include "Dialogs.h"
#include "Display.h"
#include "FileSystem.h"
#include "Input.h"
#include "RipName.h"
#include "RunReport.h"
#include "TagFailure.h"
#include "Unit1.h"
#include "Unit19.h"
#include "WavHeader.h"
#include "id3v2.h"
#include "variable.h"

#include <QApplication>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <map>
#include <memory>
#include <stdexcept>
#include <utility>
#include <vector>

namespace {

Tid3v2tag RipTagObject;

// What stands where a rip writes a file and is neither a file nor a folder (a link, a FIFO, a
// socket, a device) is moved aside first, so that the rip replaces it and never writes through
// it nor waits on it; a file is overwritten. Once the rip is over it goes, or comes back where no
// file took its place.
struct NonFilesAside {
    platform::SetAside output, log;
    // 0, or the error number of the entry that could not be moved (`failed` names it).
    int take(const std::string& outputName, const std::string& logName, std::string& failed)
    {
        failed = outputName;
        if (!output.takeUnlessFile(outputName)) return errno;
        failed = logName;
        if (!log.takeUnlessFile(logName)) return errno;
        return 0;
    }
    NonFilesAside() = default;
    ~NonFilesAside()
    {
        output.settle();
        log.settle();
    }
    NonFilesAside(const NonFilesAside&) = delete;
    NonFilesAside& operator=(const NonFilesAside&) = delete;
};

// The folders of a track's file; 0, or the error number of the first one that could not be
// made, which `failed` then names.
int makeRipFolders(const std::string& folder, std::string& failed)
{
    if (platform::folderExists(folder) || platform::makeFolders(folder)) return 0;
    const int error = errno;
    failed = folder;
    for (size_t at = folder.find('/', 1); at != std::string::npos; at = folder.find('/', at + 1))
        if (!platform::folderExists(folder.substr(0, at))) {
            failed = folder.substr(0, at);
            break;
        }
    return error;
}

// Whole seconds of a count of sectors, 75 to the second; a part of one counts as one.
int secondsOf(int32_t sectors) { return (sectors + 74) / 75; }

}  // namespace

// A run, from "Extraire" to its closing message: what it works from, taken when it begins (the
// disc, the rows and their names, the template, the folder and the format). While it goes, the
// window's gate holds the program's input.
class TRipRun {
public:
    explicit TRipRun(TForm11* form) : form_(form) { form->run_ = this; }
    ~TRipRun() { form_->run_ = nullptr; }
    TRipRun(const TRipRun&) = delete;
    TRipRun& operator=(const TRipRun&) = delete;

    // The disc ripped (its id and the ripper's table of it), its names and titles.
    cdaudio::TDiscIdentity identity;
    std::vector<int> rows;  // the selected rows, in list order
    int rowCount = 0;
    std::string pattern, folder;
    bool encode = false, writeWav = false;

private:
    TForm11* form_;
};

Tid3v2tag* RipTag = &RipTagObject;

std::string TForm11::BuildRipFileName(const std::string& folder, const QString& title, int track, const QString& artist,
                                      const QString& album, int rowCount)
{
    using platform::fromDisplay;
    const std::string path = folder + cdaudio::RipFileName(fromDisplay(Form19->Edit1->text()), fromDisplay(title),
                                                           track, fromDisplay(artist), fromDisplay(album), rowCount);
    std::string failed;
    makeRipFolders(platform::folderPart(path), failed);
    return path;
}

QString TForm11::tagRippedFile(const std::string& name, const QString& title, const QString& artist,
                               const QString& album, const QString& track)
{
    // A new file has no tag yet: the save makes one. One that cannot be read is not written.
    const TTagStatus loaded = RipTag->LoadFromFile(name, 0);
    if (!tagOk(loaded) && !noTag(loaded)) return tagFailureReason(loaded);
    // The texts go whole, in UTF-16 where ISO-8859-1 cannot hold them.
    QStringList notSet;
    const std::pair<const char*, const QString*> frames[] = {
        {"TIT2", &title}, {"TPE1", &artist}, {"TALB", &album}, {"TRCK", &track}};
    for (const auto& [frame, text] : frames) {
        const TFrameResult set = RipTag->SetTextFrameUtf8(frame, text->toStdString());
        if (set != frameresult::Success && set != frameresult::Deleted) notSet << tagFieldName(frame);
    }
    RipTag->SetYear("");
    RipTag->SetTextFrame("TCON", "");
    TCommentFrame comment;
    comment.Encoding = 0;
    comment.Language = "ENG";
    comment.Text =
        (QStringLiteral("Encodé avec Sonoverne : ") + QString::fromStdString(HomePageURL)).toLatin1().toStdString();
    RipTag->SetComment(comment, "", "None");
    const TTagStatus saved = RipTag->SaveToFile("=", 255, 255, -1);
    if (!tagOk(saved)) return tagFailureReason(saved);
    if (!notSet.isEmpty()) return QStringLiteral("étiquette écrite sans : ") + notSet.join(QStringLiteral(", "));
    return {};
}

void TForm11::Button1Click()
{
    // The ripper processes window messages between chunks, and a look-up while it waits: a run
    // must not start inside either (the gate refuses the clicks; this is for a call by code).
    if (Working()) {
        QApplication::beep();
        return;
    }
    if (!CDRipper1) throw ECDRIPError("Initialization failure");
    auto countSelected = [this] { return int(ListView1->selectedItems().size()); };
    RipSelectedCount = countSelected();
    RipPosition = -1;
    if (RipSelectedCount == 0) {
        ListView1->selectAll();
        RipSelectedCount = countSelected();
    }
    if (RipSelectedCount == 0) {
        ui::Dialogs::MessageBox(this, QStringLiteral("Aucune piste à extraire"), QStringLiteral("Sonoverne"),
                                ui::MB_OK);
        return;
    }
    // Another disc put in since this one was shown would be ripped at its boundaries under its
    // names.
    const QString drive = CbBoxActiveCDRom->currentText();
    if (!shownDiscInDrive()) {
        ui::Dialogs::MessageBox(
            this,
            QStringLiteral("Le disque du lecteur %1 n'est plus celui qui est affiché : aucune piste "
                           "n'a été extraite. Choisissez de nouveau le lecteur pour lire ce disque.")
                .arg(drive),
            QStringLiteral("Sonoverne"), ui::MB_OK);
        return;
    }
    // The run works from what the window shows now, whatever happens to it meanwhile.
    auto run = std::make_unique<TRipRun>(this);
    // Its table is the ripper's, as they were just compared.
    run->identity = ShownIdentity();
    run->rowCount = ListView1->topLevelItemCount();
    for (int i = 0; i < run->rowCount; ++i)
        if (ListView1->topLevelItem(i)->isSelected()) run->rows.push_back(i);
    run->pattern = platform::fromDisplay(Form19->Edit1->text());
    run->folder = platform::withTrailingSeparator(RipFolder);
    run->encode = CDRipper1->Encode;
    run->writeWav = CDRipper1->WriteWav;
    const QString album = QString::fromStdString(run->identity.Album),
                  artist = QString::fromStdString(run->identity.Artist);
    const int tracks = int(run->identity.Sectors.size());
    // Rows beyond the disc's tracks (a cache entry may hold more titles) are named, not counted.
    RipSelectedCount = int(std::count_if(run->rows.begin(), run->rows.end(), [&](int i) { return i < tracks; }));
    RipStopFlag = false;
    progressShown_.invalidate();

    ui::RunReport report;
    int made = 0;
    QString discFault;                   // why the tracks left are not ripped: the disc has changed
    std::map<std::string, int> written;  // the files of this run, and the track of each
    for (const int i : run->rows) {
        const int number = i + 1;
        const QString title = QString::fromStdString(run->identity.Titles[size_t(i)]);
        const std::string base =
            run->folder + cdaudio::RipFileName(run->pattern, run->identity.Titles[size_t(i)], number,
                                               run->identity.Artist, run->identity.Album, run->rowCount);
        const std::string output = base + (run->encode ? ".mp3" : ".wav");
        if (RipStopFlag || !discFault.isEmpty()) {
            report.add(output, RipStopFlag ? QStringLiteral("non extraite : extraction arrêtée") : discFault);
            continue;
        }
        if (i >= tracks) {
            report.add(output,
                       QStringLiteral("la piste %1 n'est pas sur le disque, qui en a %2").arg(number).arg(tracks));
            continue;
        }
        ++RipPosition;
        if (platform::fileNamePart(base).empty()) {
            report.add(base, QStringLiteral("la piste %1 n'aurait pas de nom de fichier").arg(number));
            continue;
        }
        if (const auto earlier = written.find(output); earlier != written.end()) {
            report.add(output, QStringLiteral("ce nom est déjà celui de la piste %1").arg(earlier->second));
            continue;
        }
        // The disc may have been changed since the last track: the rest would come from another.
        CDRipper1->ReadToc();
        if (CDRipper1->TrackSectors() != run->identity.Sectors) {
            discFault = CDRipper1->Tracks.Count() == 0
                            ? QStringLiteral("non extraite : le disque a été retiré ou ne peut plus être lu")
                            : QStringLiteral("non extraite : le disque a changé");
            report.add(output, discFault);
            continue;
        }
        std::string failed;
        if (const int error = makeRipFolders(platform::folderPart(base), failed)) {
            report.add(output,
                       QStringLiteral("le dossier %1 n'a pas pu être créé : %2")
                           .arg(platform::toDisplayLine(failed), platform::toDisplay(platform::errorText(error))));
            continue;
        }
        NonFilesAside aside;
        if (const int error = aside.take(output, base + ".jitt", failed)) {
            report.add(failed, platform::toDisplay(platform::errorText(error)));
            continue;
        }
        RipTrackNumber = number;
        CDRipper1->Encode = run->encode;
        CDRipper1->WriteWav = run->writeWav;
        QString logFailure;
        try {
            CDRipper1->RipTrack(number, base + ".wav");
        } catch (const ECDRIPFileError& e) {
            // A file that cannot be created is named with why; the next track follows. Only
            // the jitter log missing, the track itself is whole.
            if (e.File == output) {
                report.add(output, platform::toDisplay(platform::errorText(e.Error)));
                continue;
            }
            logFailure = platform::toDisplay(platform::errorText(e.Error));
        } catch (const ECDRIPWriteError& e) {
            if (e.File == output) {
                // What a full disk cut is no track: it goes, and frees its room.
                std::remove(output.c_str());
                report.add(output, platform::toDisplay(platform::errorText(e.Error)) +
                                       QStringLiteral(" ; le fichier incomplet a été supprimé"));
                continue;
            }
            logFailure = platform::toDisplay(platform::errorText(e.Error));
        } catch (const ECDRIPError& e) {
            if (!CDRipper1->OutputFile.empty()) std::remove(CDRipper1->OutputFile.c_str());
            report.add(output, platform::toDisplay(e.what()));
            continue;
        }
        // The disc may have gone since its table was read: the track is named, not reported done.
        if (!CDRipper1->TrackOpened()) {
            report.add(output, QStringLiteral("la piste n'a pas pu être lue sur le disque"));
            continue;
        }
        written.emplace(output, number);
        QString why;
        if (run->encode) why = tagRippedFile(output, title, artist, album, QString::number(number));
        else if (run->writeWav) {
            if (const int error = cdaudio::FitWavHeader(output))
                why = QStringLiteral("son en-tête n'a pas pu être ajusté : ") +
                      platform::toDisplay(platform::errorText(error));
        }
        // A file that holds less than its track is kept, and says so.
        const int32_t asked = CDRipper1->SectorsAsked, ripped = CDRipper1->SectorsRipped;
        QString cut;
        if (CDRipper1->Stopped)
            cut = QStringLiteral("extraction arrêtée après %1 s sur %2 s").arg(ripped / 75).arg(secondsOf(asked));
        else if (ripped < asked)
            cut =
                QStringLiteral("%1 s de la piste n'ont pas pu être lues sur le disque").arg(secondsOf(asked - ripped));
        else ++made;
        if (!cut.isEmpty() && !why.isEmpty()) cut += QStringLiteral(" ; ");
        if (!cut.isEmpty() || !why.isEmpty()) report.add(output, cut + why);
        if (!logFailure.isEmpty()) report.addNote(base + ".jitt", logFailure);
    }
    // The closing message takes input again.
    run.reset();
    QString done = QStringLiteral("Extraction des pistes terminée");
    if (RipStopFlag) done = QStringLiteral("Extraction des pistes arrêtée");
    else if (!discFault.isEmpty())
        done = QStringLiteral("Extraction des pistes arrêtée : le disque du lecteur %1 a changé").arg(drive);
    else if (made == 0) done = QStringLiteral("Aucune piste n'a été extraite");
    report.show(this, QStringLiteral("Sonoverne"), done,
                QStringLiteral("Ces fichiers n'ont pas pu être extraits ou étiquetés"),
                QStringLiteral("Ces journaux des corrections de lecture n'ont pas pu être écrits (leurs pistes "
                               "ont été extraites)"));
    Form1->Rafraichir1Click();
    Close();
    Label13->clear();
}

void TForm11::Button2Click()
{
    RipStopFlag = true;
    if (CDRipper1) CDRipper1->Abort();
    Close();
}

void TForm11::cdripper1Progress(TCDRipper*, uint16_t percent)
{
    // Drawing the bars costs about as much as encoding a chunk: they follow the rip some 10
    // times a second, and always at the end of a track.
    if (percent < 100 && progressShown_.isValid() && progressShown_.elapsed() < 100) return;
    progressShown_.start();
    ProgressBar1->setPosition(percent);
    if (RipSelectedCount > 0) ProgressBar2->setPosition((RipPosition * 100 + int(percent)) / RipSelectedCount);
}

void TForm11::cdripper1BeginTrack(TCDRipper*, uint16_t)
{
    Label13->setText(QStringLiteral("Piste en cours : N°") + QString::number(RipTrackNumber));
}
