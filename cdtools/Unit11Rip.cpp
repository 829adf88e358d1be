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
#include "Unit22.h"
#include "Unit23.h"
#include "WavHeader.h"
#include "id3v2.h"
#include "variable.h"

#include <QApplication>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <initializer_list>
#include <stdexcept>
#include <utility>
#include <vector>

namespace {

Tid3v2tag RipTagObject;

std::string latin1(const QString& text)
{
    const QByteArray bytes = text.toLatin1();
    return std::string(bytes.constData(), size_t(bytes.size()));
}

// What stands where a rip writes a file and is neither a file nor a folder (a link, a FIFO, a
// socket, a device) is moved aside first, so that the rip replaces it and never writes through
// it nor waits on it; a file is overwritten. Once the rip is over it goes, or comes back where no
// file took its place.
struct LinksAside {
    platform::SetAside output, log;
    // 0, or the error number of the entry that could not be moved (`failed` names it).
    int take(const std::string& outputName, const std::string& logName, std::string& failed)
    {
        failed = outputName;
        if (!output.take(outputName, true)) return errno;
        failed = logName;
        if (!log.take(logName, true)) return errno;
        return 0;
    }
    LinksAside() = default;
    ~LinksAside()
    {
        output.settle();
        log.settle();
    }
    LinksAside(const LinksAside&) = delete;
    LinksAside& operator=(const LinksAside&) = delete;
};

// Controls that would change a run's rows, disc or names are off while it goes, here and in the
// chooser and the identity editor, which may be open beside it.
struct ControlsOff {
    std::vector<std::pair<QWidget*, bool>> was;
    explicit ControlsOff(std::initializer_list<QWidget*> controls)
    {
        for (QWidget* control : controls) {
            was.emplace_back(control, control->isEnabled());
            control->setEnabled(false);
        }
    }
    ~ControlsOff()
    {
        for (auto& [control, enabled] : was) control->setEnabled(enabled);
    }
    ControlsOff(const ControlsOff&) = delete;
    ControlsOff& operator=(const ControlsOff&) = delete;
};

// Clears a flag when the run ends, however it ends.
struct RunFlag {
    bool& flag;
    explicit RunFlag(bool& f) : flag(f) { flag = true; }
    ~RunFlag() { flag = false; }
};

}  // namespace

Tid3v2tag* RipTag = &RipTagObject;

std::string TForm11::BuildRipFileName(const std::string& folder, const QString& title, int track, const QString& artist,
                                      const QString& album, int rowCount)
{
    using platform::fromDisplay;
    const std::string path = folder + cdaudio::RipFileName(fromDisplay(Form19->Edit1->text()), fromDisplay(title),
                                                           track, fromDisplay(artist), fromDisplay(album), rowCount);
    const std::string parent = platform::folderPart(path);
    if (!parent.empty() && !platform::folderExists(parent)) platform::makeFolders(parent);
    return path;
}

TTagStatus TForm11::tagRippedFile(const std::string& name, const QString& title, const QString& artist,
                                  const QString& album, const QString& track)
{
    // A new file has no tag yet: the save makes one. One that cannot be read is not written.
    const TTagStatus loaded = RipTag->LoadFromFile(name, 0);
    if (!tagOk(loaded) && !noTag(loaded)) return loaded;
    RipTag->SetTextFrame("TIT2", latin1(title));
    RipTag->SetTextFrame("TPE1", latin1(artist));
    RipTag->SetTextFrame("TALB", latin1(album));
    RipTag->SetTextFrame("TRCK", latin1(track));
    RipTag->SetYear("");
    RipTag->SetTextFrame("TCON", "");
    TCommentFrame comment;
    comment.Encoding = 0;
    comment.Language = "ENG";
    comment.Text = latin1(QStringLiteral("Encodé avec Sonoverne : ") + QString::fromStdString(HomePageURL));
    RipTag->SetComment(comment, "", "None");
    return RipTag->SaveToFile("=", 255, 255, -1);
}

void TForm11::Button1Click()
{
    // The ripper processes window messages between chunks: a second click must not start a
    // second run inside this one.
    if (running_) {
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
    if (!shownDiscInDrive()) {
        ui::Dialogs::MessageBox(
            this,
            QStringLiteral("Le disque du lecteur %1 n'est plus celui qui est affiché : aucune piste "
                           "n'a été extraite. Choisissez de nouveau le lecteur pour lire ce disque.")
                .arg(CbBoxActiveCDRom->currentText()),
            QStringLiteral("Sonoverne"), ui::MB_OK);
        return;
    }
    // A cache file or a server's entry may hold more titles than the disc has tracks: the rows
    // beyond them are not ripped, nor counted in the overall progress. The run works on the rows
    // and names as they are now, whatever a click does to the window meanwhile.
    const int rowCount = ListView1->topLevelItemCount();
    const int rows = std::min(rowCount, int(CDRipper1->Tracks.Count()));
    std::vector<int> chosen;
    for (int i = 0; i < rows; ++i)
        if (ListView1->topLevelItem(i)->isSelected()) chosen.push_back(i);
    RipSelectedCount = int(chosen.size());
    const cdaudio::TDiscIdentity names = ShownIdentity();
    const QString album = QString::fromStdString(names.Album), artist = QString::fromStdString(names.Artist);
    RunFlag run(running_);
    const ControlsOff off{Button3,   Button4,   Button5,         CbBoxActiveCDRom,
                          CheckBox1, CheckBox2, Form22->Button1, Form23->Button1};
    RipStopFlag = false;
    progressShown_.invalidate();
    ui::RunReport report;
    for (const int i : chosen) {
        if (RipStopFlag) break;
        ++RipPosition;
        const std::string folder = platform::withTrailingSeparator(RipFolder);
        const QString title = QString::fromStdString(names.Titles[size_t(i)]);
        const std::string base = BuildRipFileName(folder, title, i + 1, artist, album, rowCount);
        RipTrackNumber = i + 1;
        const QString track = QString::number(i + 1);
        const std::string name = base + ".wav";
        const bool encode = CDRipper1->Encode;
        const std::string output = encode ? base + ".mp3" : name;
        LinksAside links;
        std::string inTheWay;
        if (const int error = links.take(output, base + ".jitt", inTheWay)) {
            report.add(inTheWay, platform::toDisplay(platform::errorText(error)));
            continue;
        }
        try {
            CDRipper1->RipTrack(i + 1, name);
        } catch (const ECDRIPFileError& e) {
            // A file that cannot be created is named with why; the next track follows. Only
            // the jitter log missing, the track itself is whole.
            report.add(e.File, platform::toDisplay(platform::errorText(e.Error)));
            if (e.File == output) continue;
        } catch (...) {
            if (!encode && CDRipper1->WriteWav) cdaudio::FitWavHeader(name);
            throw;
        }
        // The disc may have gone since its table was read: the track is named, not reported done.
        if (!CDRipper1->TrackOpened()) {
            report.add(encode ? base + ".mp3" : name, QStringLiteral("la piste n'a pas pu être lue sur le disque"));
            continue;
        }
        if (encode) {
            const std::string mp3 = name.substr(0, name.size() - 3) + "mp3";
            const TTagStatus tagged = tagRippedFile(mp3, title, artist, album, track);
            if (!tagOk(tagged)) report.add(mp3, tagFailureReason(tagged));
        } else if (CDRipper1->WriteWav) cdaudio::FitWavHeader(name);
    }
    report.show(this, QStringLiteral("Sonoverne"), QStringLiteral("Extraction des pistes terminée"),
                QStringLiteral("Ces fichiers n'ont pas pu être extraits ou étiquetés"));
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
