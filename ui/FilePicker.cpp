#include "FilePicker.h"

#include "Guard.h"
#include "WalkReport.h"

#include <QGridLayout>
#include <QHBoxLayout>

FilePicker::FilePicker(QWidget* parent, const PickerVariant& variant, const std::string* startFolder)
    : QWidget(parent), variant_(variant), startFolder_(startFolder)
{
    DriveComboBox1 = new ui::DriveComboBox(this);
    DirectoryListBox1 = new ui::DirectoryListBox(this);
    FileListBox1 = new ui::FileListBox(this);
    FileListBox1->setMask(variant_.mask);
    ListBox1 = new ui::ListBox(this);
    ListBox1->Sorted = variant_.sorted;
    Button1 = new QPushButton(QStringLiteral("Ajouter"), this);
    Button2 = variant_.addAll ? new QPushButton(QStringLiteral("Tout Ajouter"), this) : nullptr;
    Button3 = new QPushButton(QStringLiteral("Enlever"), this);
    Button4 = new QPushButton(variant_.clearCaption, this);
    Button6 = variant_.walkerCaption.isEmpty() ? nullptr : new QPushButton(variant_.walkerCaption, this);
    if (variant_.bars >= 1) ProgressBar1 = new ui::ProgressBar(this, variant_.barOrientation);
    if (variant_.bars >= 2) ProgressBar2 = new ui::ProgressBar(this, variant_.barOrientation);

    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->addWidget(DriveComboBox1, 0, 0);
    grid->addWidget(DirectoryListBox1, 1, 0);
    grid->addWidget(FileListBox1, 0, 1, 2, 1);
    auto* buttons = new QHBoxLayout;
    for (QPushButton* button : {Button1, Button2, Button3, Button4})
        if (button) buttons->addWidget(button);
    grid->addLayout(buttons, 2, 0, 1, 2);
    int row = 3;
    if (Button6) grid->addWidget(Button6, row++, 0, 1, 2);
    if (variant_.barOrientation == Qt::Vertical && ProgressBar1) {
        auto* list = new QHBoxLayout;
        list->addWidget(ListBox1, 1);
        list->addWidget(ProgressBar1);
        if (ProgressBar2) list->addWidget(ProgressBar2);
        grid->addLayout(list, row++, 0, 1, 2);
    } else {
        grid->addWidget(ListBox1, row++, 0, 1, 2);
        if (ProgressBar1) grid->addWidget(ProgressBar1, row++, 0, 1, 2);
        if (ProgressBar2) grid->addWidget(ProgressBar2, row++, 0, 1, 2);
    }
    grid->setRowStretch(1, 1);
    grid->setRowStretch(Button6 ? 4 : 3, 1);

    ScruteDossier1.Filtre = variant_.mask;
    ScruteDossier1.SousDossier = true;
    ScruteDossier1.MaxPenetration = 1000000;
    ScruteDossier1.OnFichier = [this](TScruteDossier* sender, const std::string& name) {
        ScruteDossier1Fichier(sender, name);
    };

    DriveComboBox1->OnChange = [this] { DriveComboBox1Change(); };
    DirectoryListBox1->OnChange = [this] { DirectoryListBox1Change(); };
    ui::on(FileListBox1, &QListWidget::itemDoubleClicked, this, &FilePicker::FileListBox1DblClick);
    ui::on(Button1, &QPushButton::clicked, this, &FilePicker::Button1Click);
    if (Button2) ui::on(Button2, &QPushButton::clicked, this, &FilePicker::Button2Click);
    ui::on(Button3, &QPushButton::clicked, this, &FilePicker::Button3Click);
    ui::on(Button4, &QPushButton::clicked, this, &FilePicker::Button4Click);
    if (Button6) ui::on(Button6, &QPushButton::clicked, this, &FilePicker::Button6Click);
}

void FilePicker::add(const std::string& path)
{
    // No file selected gives no path: an empty entry would only fail later.
    if (!path.empty()) ListBox1->Add(path);
}

void FilePicker::DriveComboBox1Change() { DirectoryListBox1->setDrive(DriveComboBox1->Drive()); }

void FilePicker::DirectoryListBox1Change() { FileListBox1->setDirectory(DirectoryListBox1->Directory()); }

void FilePicker::Button1Click() { add(FileListBox1->FileName()); }

void FilePicker::FileListBox1DblClick() { Button1Click(); }

void FilePicker::Button2Click()
{
    for (int i = 0; i < FileListBox1->count(); ++i) {
        FileListBox1->setItemIndex(i);
        add(FileListBox1->FileName());
    }
}

void FilePicker::Button3Click()
{
    const int selected = ListBox1->currentRow();
    if (selected < 0 || !ListBox1->Selected(selected)) return;
    ListBox1->Delete(selected);
    ListBox1->setCurrentRow(-1);
}

void FilePicker::Button4Click() { ListBox1->Clear(); }

void FilePicker::Button6Click()
{
    ScruteDossier1.Dossier = DirectoryListBox1->Directory();
    ScruteDossier1.Execute();
    ui::tellWalkFailures(window(), ScruteDossier1);
}

void FilePicker::ScruteDossier1Fichier(TScruteDossier*, const std::string& Nom) { ListBox1->Add(Nom); }

void FilePicker::FormShow()
{
    if (variant_.clearOnShow) ListBox1->Clear();
    const std::string shownBefore = FileListBox1->Directory();
    DirectoryListBox1->setDirectory(*startFolder_);
    DriveComboBox1->setDrive(DirectoryListBox1->Drive());
    // The same folder as last time: its files may have changed since.
    if (FileListBox1->Directory() == shownBefore) FileListBox1->Update();
    DirectoryListBox1Change();
    for (ui::ProgressBar* bar : {ProgressBar1, ProgressBar2})
        if (bar) bar->setPosition(0);
}

void FilePicker::FormHide()
{
    if (!variant_.clearOnHide) return;
    // A walk still running would fill the list again behind the hidden window.
    ScruteDossier1.Stop = true;
    ListBox1->Clear();
}

void FilePicker::beginRun()
{
    highlighted_.invalidate();
    if (!ProgressBar1) return;
    ProgressBar1->setMin(0);
    ProgressBar1->setMax(variant_.maxIsCount ? ListBox1->Count() : ListBox1->Count() - 1);
}

void FilePicker::showEntry(int i)
{
    // A run's loop processes no messages, so what the user sees is painted here, at once. The
    // bar at every entry: it repaints whenever a block appears, a few dozen paints a run. The
    // highlight at every entry of a short run; a long one moves it ten times a second and at
    // its last entry: each move repaints and scrolls the list, which costs more than the work
    // on a hundred small files, and a highlight racing down a list could not be read anyway.
    constexpr int ShortRun = 50;
    constexpr qint64 HighlightEveryMs = 100;
    const int count = ListBox1->Count();
    const bool highlight = variant_.selectEntry && (count <= ShortRun || i >= count - 1 || !highlighted_.isValid() ||
                                                    highlighted_.elapsed() >= HighlightEveryMs);
    // The highlight first: the bar's paint then brings it to the screen with itself, in one go.
    if (highlight) {
        highlighted_.start();
        ListBox1->setCurrentRow(i);
    }
    const bool painted = ProgressBar1 && ProgressBar1->setPosition(i);
    if (highlight && !painted && ListBox1->isVisible()) ListBox1->viewport()->repaint();
}

PickerForm::PickerForm(const PickerVariant& variant, const std::string* startFolder)
    : Picker(new FilePicker(this, variant, startFolder)), DriveComboBox1(Picker->DriveComboBox1),
      DirectoryListBox1(Picker->DirectoryListBox1), FileListBox1(Picker->FileListBox1), ListBox1(Picker->ListBox1),
      ProgressBar1(Picker->ProgressBar1), ScruteDossier1(Picker->ScruteDossier1)
{
    OnShow = [this] { FormShow(); };
    OnHide = [this] { FormHide(); };
}
