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

class TForm11 : public ui::Form {
public:
    TForm11();
    ~TForm11() override;

    // Disc identity and fills.
    void ShowDiscIdentity();
    void FillDefaultTracks();
    void FillTracksFromCddb();
    void BuildRows();
    // The title list, rows and boxes from an identity; what they show as one, for a run.
    void ShowIdentity(const cdaudio::TDiscIdentity& identity);
    cdaudio::TDiscIdentity ShownIdentity() const;

    // The local cache of disc identities.
    void LoadLocalCddbEntry();
    void SaveLocalCddbEntry();
    void SaveEditedCddbEntry();
    std::string CacheFolder() const;
    std::string CacheFileName() const;

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

    // Values of the shown disc.
    std::string DiscIdText;
    int DiscTrackCount = 0;
    int TitleCount = 0;
    QString CachedArtist, CachedAlbum, CachedCategory;
    // Run state.
    bool RipStopFlag = false;
    int RipSelectedCount = 0;
    int RipPosition = -1;
    int RipTrackNumber = 0;

    // Components.
    TCDDBConnect CDDBConnect1;
    std::unique_ptr<TMP3Coder> MP3Coder1;
    std::unique_ptr<TCDRipper> CDRipper1;

    // The title list: one title per track, in track order.
    QStringList ListBox2;

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
    void writeCacheFile(const QString& artist, int count, const QStringList& titles, const QString& category,
                        const QString& album);
    void openEditor(const QString& caption, int tag, const QString& text);
    // Reads the ripper's table again: whether the disc in the drive is still the one shown.
    bool shownDiscInDrive();

    // The ripper's table of the disc shown, read with it; empty when the disc could not be read.
    std::vector<std::pair<int32_t, int32_t>> shownTracks_;
    bool discShown_ = false;
    // The run under way: what it works from, and what it lets happen meanwhile.
    TRipRun* run_ = nullptr;
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
