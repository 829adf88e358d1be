// The window "Convertir WAV > MP3": encodes a list of WAV files into MP3 files beside them with
// the file encoder, with its settings, a bar for the file and one for the run, and a stop.
#pragma once

#include "FilePicker.h"
#include "LameCoder.h"
#include "RunReport.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <cstdint>
#include <string>

class TForm12 : public PickerForm {
public:
    TForm12();

    QLabel* Label14;       // what to do, in one sentence
    QComboBox* ComboBox1;  // "Sample Rate"
    QComboBox* ComboBox2;  // "BitRate"
    QComboBox* ComboBox3;  // "Max BitRate"
    QComboBox* ComboBox4;  // "Mode"
    QComboBox* ComboBox5;  // "Qualité"
    QSlider* TrackBar1;    // "Qualité VBR" 0-9
    QLabel* Label7;        // its position
    QCheckBox* CheckBox6;  // "VBR"
    QCheckBox* CheckBox7;  // "Ecrire le header VBR"
    QCheckBox* CheckBox3;  // "Copyright"
    QCheckBox* CheckBox4;  // "Original"
    QCheckBox* CheckBox5;  // "CRC"
    QCheckBox* CheckBox8;  // "Private"
    QLabel* Label5;        // the status line of the file under way
    QLabel* Label9;        // "Piste en cours"
    QLabel* Label6;        // "Total"
    ui::ProgressBar* ProgressBar2;
    QPushButton* Button7;  // "Convertir"
    QPushButton* Button5;  // "Annuler"
    TLameCoder LameCoder1;

    // -1 before the first file of a run, then the index of the file being encoded.
    int32_t CurrentFileIndex = -1;

    void FormCreate();
    void FormShow() override;
    void FormHide() override;
    void ComboBox1Change();
    void ComboBox2Change();
    void ComboBox3Change();
    void ComboBox4Change();
    void ComboBox5Change();
    void TrackBar1Change();
    void CheckBox3Click();
    void CheckBox4Click();
    void CheckBox5Click();
    void CheckBox6Click();
    void CheckBox7Click();
    void CheckBox8Click();
    void Button7Click();
    void Button5Click();

    void LameCoder1BeginProcess(TLameCoder* Sender);
    void LameCoder1BeginFile(TLameCoder* Sender, uint16_t Num, const std::string& FileName);
    void LameCoder1Progress(TLameCoder* Sender, uint16_t PercentComplete);
    void LameCoder1EndProcess(TLameCoder* Sender);

private:
    // A run goes on past a file it could not encode: the encoder restarts on the files after
    // it, and the events count from where that part of the run starts.
    int32_t runCount_ = 0;  // the files of the run, whatever becomes of the list meanwhile
    int32_t partStart_ = 0;
    bool running_ = false;
    bool stopped_ = false;
    ui::RunReport failures_;
};

extern TForm12* Form12;
