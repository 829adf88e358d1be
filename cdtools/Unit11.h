// The window "Extraire les pistes d'un CD": the drives, the tracks of the disc in the chosen one
// with their titles, the album and the artist (from the local cache, or from a CDDB server on
// demand), the encoder settings and the extraction run.
#pragma once

#include "CDDBConnect.h"
#include "CDRipper.h"
#include "CddbReply.h"
#include "Form.h"
#include "MP3Coder.h"
#include "ProgressBar.h"
#include "TagTextInput.h"
#include "id3v2.h"

#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QStringList>
#include <QTreeWidget>

#include <memory>
#include <string>

class TRipRun;
class TWorkGate;

class TForm11 : public ui::Form {
    // The one identity the window shows: its disc, names, titles and count. The rows, the boxes
    // and what the cache writers write are built from it; the views below are of it, so it
    // comes first.
    cdaudio::TDiscIdentity shown_;

public:
    TForm11();
    ~TForm11() override;

    // Reads the disc in the chosen drive: its track count and id into the labels. What the
    // window shows stays as it is.
    void ShowDiscIdentity();
    // Fills: the disc in the drive with default titles; the client's last entry as the identity
    // of disc (the one it was looked up for).
    void FillDefaultTracks();
    void FillTracksFromCddb(const cdaudio::TDiscIdentity& disc);
    void BuildRows();
    // Shows an identity: it becomes the window's, and the rows and boxes show it.
    void ShowIdentity(const cdaudio::TDiscIdentity& identity);
    const cdaudio::TDiscIdentity& ShownIdentity() const { return shown_; }
    // The identity editor's changes to what is shown.
    void SetTitle(int row, const QString& title);
    void SetAlbum(const QString& album);
    void SetArtist(const QString& artist);
    // The client's last entry, read for disc: shown and cached when the drive still holds that
    // disc; else nothing is, and the user is told that the disc changed at that moment.
    void AcceptCddbEntry(const cdaudio::TDiscIdentity& disc, const QString& moment);
    // Whether the window still shows disc and the drive still holds it; told when not.
    bool StillShows(const cdaudio::TDiscIdentity& disc, const QString& moment);

    // The local cache of disc identities. The writers write the identity shown, under its disc.
    void LoadLocalCddbEntry();
    void SaveLocalCddbEntry();
    void SaveEditedCddbEntry();
    std::string CacheFolder() const;
    std::string CacheFileName(const std::string& discId) const;

    // Handlers.
    void FormShow();
    void CbBoxActiveCDRomChange();
    void Button3Click();
    void ListView1DblClick();
    void ListView1KeyUp(int key);
    void Button4Click();
    void Button5Click();
    void Edit1Change() {}
    void Edit2Change() {}
    void Button1Click();
    void Button2Click();
    void CheckBox1Click();
    void CheckBox2Click();
    void cdripper1Progress(TCDRipper* sender, uint16_t percent);
    void cdripper1BeginTrack(TCDRipper* sender, uint16_t track);

    // The file name of a track (without extension) under folder; creates the missing folders.
    std::string BuildRipFileName(const std::string& folder, const QString& title, int track, const QString& artist,
                                 const QString& album, int rowCount);

    bool Running() const { return run_ != nullptr; }
    // A run goes, or a look-up waits for its server: both take window messages meanwhile, and
    // the gate then decides what the program's input may do.
    bool Working() const { return run_ != nullptr || CDDBConnect1.Busy(); }

    // Views of the identity shown: the disc id that names its cache file, the titles its entry
    // counts, its category.
    const std::string& DiscIdText = shown_.DiscId;
    const int& TitleCount = shown_.TitleCount;
    QString CachedCategory() const;
    // Tracks of the disc last read in the drive.
    int DiscTrackCount = 0;
    // Run state.
    bool RipStopFlag = false;
    int RipSelectedCount = 0;
    int RipPosition = -1;
    int RipTrackNumber = 0;

    // Components.
    TCDDBConnect CDDBConnect1;
    std::unique_ptr<TMP3Coder> MP3Coder1;
    std::unique_ptr<TCDRipper> CDRipper1;

    QLabel* Label11;
    QComboBox* CbBoxActiveCDRom;
    QLabel* LabelTrackCD;
    QLabel* Label14;  // hidden: the disc id
    QLabel* Label6;
    QCheckBox* CheckBox1;
    QCheckBox* CheckBox2;
    QLabel* Label9;
    ui::ProgressBar* ProgressBar1;
    QLabel* Label12;
    ui::ProgressBar* ProgressBar2;
    QLabel* Label13;
    QPushButton* Button3;
    QLabel* Label17;
    QPushButton* Button1;
    QPushButton* Button2;
    QTreeWidget* ListView1;
    QLabel* Label15;
    ui::TagEdit* Edit1;
    QLabel* Label18;
    QPushButton* Button4;
    QLabel* Label16;
    ui::TagEdit* Edit2;
    QLabel* Label19;
    QPushButton* Button5;

    // Encoder settings.
    QLabel* Label5;
    QLabel* LabelSampleRate;
    QComboBox* ComboBox1;
    QLabel* LabelBitRate;
    QComboBox* ComboBox2;
    QLabel* LabelMaxBitRate;
    QComboBox* ComboBox3;
    QLabel* LabelMode;
    QComboBox* ComboBox4;
    QLabel* LabelQuality;
    QComboBox* ComboBox5;
    QCheckBox* CheckBox3;
    QCheckBox* CheckBox4;
    QCheckBox* CheckBox5;
    QCheckBox* CheckBox8;
    QCheckBox* CheckBox6;
    QCheckBox* CheckBox7;
    QLabel* LabelVbrQuality;
    QSlider* TrackBar1;
    QLabel* Label7;

private:
    friend class TRipRun;
    // The new MP3's tag: why it could not be written whole, or nothing.
    QString tagRippedFile(const std::string& name, const QString& title, const QString& artist, const QString& album,
                          const QString& track);
    void clearIdentity();
    // The default titles of the disc last read.
    void showDefaults();
    // Writes an identity's entry under its disc id; a failure is told once, and nothing stops.
    void writeCacheEntry(const cdaudio::TDiscIdentity& identity);
    void openEditor(const QString& caption, int tag, const QString& text);
    // Reads the ripper's table again: whether the disc in the drive is still the one shown.
    bool shownDiscInDrive();
    // Reads the drive again: whether it holds disc (its id and its table).
    bool holdsDisc(const cdaudio::TDiscIdentity& disc);
    void tellDiscChanged(const QString& moment);

    // The disc last read in the drive: its id and table, no names.
    cdaudio::TDiscIdentity inDrive_;
    // The error of the cache write last told, until a write succeeds or the window is shown.
    int cacheFailureTold_ = 0;
    // The run under way: what it works from.
    TRipRun* run_ = nullptr;
    // What may happen while the window works; it goes first, while what it asks is still there.
    std::unique_ptr<TWorkGate> gate_;
    QElapsedTimer progressShown_;
};

extern TForm11* Form11;
// The tag object the run writes the new MP3 files' tags with.
extern Tid3v2tag* RipTag;

// What a box or a row shows of a text from a server or the cache file: control characters
// become blanks, as in every field that feeds a tag.
QString tagLine(const std::string& text);
// Shows a modeless window above the modal one that opened it, where it takes input.
void showOver(ui::Form* form, QWidget* owner);
