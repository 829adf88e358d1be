#include "Unit1.h"

#include "FileSystem.h"
#include "Guard.h"
#include "Unit18.h"
#include "Unit2.h"
#include "Unit3.h"
#include "variable.h"

#include <QApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QVBoxLayout>

TForm1* Form1 = nullptr;

TForm1::TForm1()
{
    setCaption(QStringLiteral("Sonoverne - Gestion de collections MP3"));
    resize(1000, 650);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    MainMenu1 = new QMenuBar(this);
    layout->setMenuBar(MainMenu1);
    QMenu* fichier = MainMenu1->addMenu(QStringLiteral("Fichier"));
    Quitter1 = fichier->addAction(QStringLiteral("Quitter"));
    QMenu* liste = MainMenu1->addMenu(QStringLiteral("Liste"));
    Rafraichir1 = liste->addAction(QStringLiteral("Rafraichir (tous les fichiers)"));
    QMenu* options = MainMenu1->addMenu(QStringLiteral("Options"));
    Gnral1 = options->addAction(QStringLiteral("Général"));
    QMenu* winamp = MainMenu1->addMenu(QStringLiteral("Winamp"));
    OuvrirlepanneaudecontrledeWinamp1 = winamp->addAction(QStringLiteral("Afficher le panneau de contrôle de Winamp"));
    OuvrirlepanneaudecontrledeWinamp1->setCheckable(true);
    OuvrirlepanneaudecontrledeWinamp1->setChecked(true);

    ToolBar1 = new QToolBar(this);
    ToolBar1->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    layout->addWidget(ToolBar1);

    Splitter1 = new QSplitter(Qt::Horizontal, this);
    TreeView1 = new QTreeWidget(Splitter1);
    TreeView1->setHeaderHidden(true);
    ListView1 = new QTreeView(Splitter1);
    ListView1->setRootIsDecorated(false);
    ListView1->setSelectionMode(QAbstractItemView::ExtendedSelection);
    ListView1->setSelectionBehavior(QAbstractItemView::SelectRows);
    ListView1->setUniformRowHeights(true);
    Splitter1->addWidget(TreeView1);
    Splitter1->addWidget(ListView1);
    layout->addWidget(Splitter1, 1);

    StatusBar1 = new QWidget(this);
    auto* status = new QHBoxLayout(StatusBar1);
    status->setContentsMargins(4, 2, 4, 2);
    const int widths[3] = {500, 100, 150};
    for (int i = 0; i < 3; ++i) {
        StatusPanels[i] = new QLabel(StatusBar1);
        StatusPanels[i]->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
        StatusPanels[i]->setFixedWidth(widths[i]);
        status->addWidget(StatusPanels[i]);
    }
    status->addStretch(1);
    layout->addWidget(StatusBar1);

    ScruteDossier1.Filtre = "*.mp3";
    ScruteDossier1.SousDossier = true;
    ScruteDossier1.MaxPenetration = 1000000;
    ScruteDossier1.OnFichier = [this](TScruteDossier* s, const std::string& nom) { ScruteDossier1Fichier(s, nom); };
    ScruteDossier1.OnFinExecute = [this](TScruteDossier* s) { ScruteDossier1FinExecute(s); };

    ui::on(Quitter1, &QAction::triggered, this, &TForm1::Quitter1Click);
    ui::on(Rafraichir1, &QAction::triggered, this, &TForm1::Rafraichir1Click);
    ui::on(Gnral1, &QAction::triggered, this, &TForm1::Gnral1Click);

    OnActivate = [this] { FormActivate(); };
    qApp->installEventFilter(this);
    FormCreate();
}

void TForm1::FormCreate()
{
    FirstActivationDone = false;
    QuitAfterScan = false;
}

void TForm1::FormActivate()
{
    if (FirstActivationDone) return;
    const int listWidth = width() / 6 * 5;
    Splitter1->setSizes({width() - listWidth, listWidth});
    FirstActivationDone = true;
    Form3->Show();
    Form3->Label2->setText(QStringLiteral(" "));
    LoadSettings();
}

void TForm1::FormShortCut(int key, Qt::KeyboardModifiers)
{
    if (key != Qt::Key_F5) return;
    // A reload asked for during a walk is refused quietly.
    if (ScruteDossier1.Running()) return;
    Form3->Show();
    Form3->Label2->setText(QStringLiteral(" "));
    LoadSettings();
}

bool TForm1::eventFilter(QObject* watched, QEvent* event)
{
    // Shortcut keys of any control of this window reach the window first.
    // A key event travels up from the focused control; take it once, where it starts.
    QWidget* focus = QApplication::focusWidget();
    if (event->type() == QEvent::KeyPress && watched->isWidgetType() &&
        static_cast<QWidget*>(watched)->window() == this &&
        watched == (focus && focus->window() == this ? focus : static_cast<QWidget*>(this))) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_F5 && !key->isAutoRepeat())
            ui::guarded([&] { FormShortCut(key->key(), key->modifiers()); });
    }
    return ui::Form::eventFilter(watched, event);
}

void TForm1::Rafraichir1Click()
{
    FormShortCut(Qt::Key_F5, Qt::NoModifier);
}

void TForm1::ScruteDossier1Fichier(TScruteDossier*, const std::string& Nom)
{
    Form3->Label2->setText(platform::toDisplay(platform::fileNamePart(Nom)));
    FileCount = FileCount + 1;
    FilePaths[FileCount] = Nom;
    FileRow& row = FileTable[FileCount];
    for (std::string& field : row.fields) field.clear();
    row[fPath] = Nom;
    row[fFolder] = platform::folderPart(Nom);
}

void TForm1::ScruteDossier1FinExecute(TScruteDossier*)
{
    if (QuitAfterScan) QApplication::quit();
    BuildDistinctLists();
    Form3->Hide();
    if (AfterWalk) AfterWalk();
}

void TForm1::ClearTreeAndList()
{
    TreeView1->clear();
}

void TForm1::BuildDistinctLists()
{
    StatusPanels[0]->setText(QStringLiteral("Artistes"));
    StatusPanels[1]->setText(QString::number(FileCount) + QStringLiteral(" fichier(s)"));
}

void TForm1::Quitter1Click()
{
    QApplication::quit();
}

void TForm1::Gnral1Click()
{
    Form2->ShowModal();
}

void TForm1::Winamp1Click()
{
    Form18->ShowModal();
}
