// The main window's menus and the commands they run: tool windows, playlists, the player, the
// tag editor, help and the update check.
#include "Unit1.h"

#include "Dialogs.h"
#include "Display.h"
#include "FileSystem.h"
#include "Guard.h"
#include "Input.h"
#include "Playlist.h"
#include "Shell.h"
#include "ShownText.h"
#include "Unit11.h"
#include "Unit12.h"
#include "Unit13.h"
#include "Unit14.h"
#include "Unit15.h"
#include "Unit17.h"
#include "Unit18.h"
#include "Unit19.h"
#include "Unit2.h"
#include "Unit20.h"
#include "Unit21.h"
#include "Unit24.h"
#include "Unit25.h"
#include "Unit26.h"
#include "Unit4.h"
#include "Unit5.h"
#include "Unit6.h"
#include "Unit7.h"
#include "Unit8.h"
#include "Unit9.h"
#include "VyxPravomel.h"

#include <QApplication>
#include <QKeyEvent>
#include <stdexcept>

std::string UpdateScriptURL = "https://www.sonoverne.fr/sonoverne/update.ini";
std::string HomePageURL = "https://www.sonoverne.fr";

namespace {

QAction* item(QMenu* menu, const char* caption) { return menu->addAction(QString::fromUtf8(caption)); }

}  // namespace

void TForm1::createMenus()
{
    QMenu* fichier = MainMenu1->addMenu(QStringLiteral("Fichier"));
    Quitter1 = item(fichier, "Quitter");

    QMenu* liste = MainMenu1->addMenu(QStringLiteral("Liste"));
    QMenu* trier = liste->addMenu(QStringLiteral("Trier la liste de gauche par"));
    Artistes2 = trier->addAction(ImageList1[imgArtist], QStringLiteral("Artistes"));
    Albums1 = trier->addAction(ImageList1[imgAlbum], QStringLiteral("Albums"));
    Slectionnertout1 = item(liste, "Sélectionner tout");
    Slectionnertout1->setShortcut(QKeySequence::SelectAll);
    Rafraichir1 = item(liste, "Rafraichir (tous les fichiers)");

    QMenu* operations = MainMenu1->addMenu(QStringLiteral("Opérations sur les MP3"));
    Editerlestags1 = item(operations, "Editer les tags");
    Modificationsdetagsdeplusieursfichiers1 = item(operations, "Modification des tags de plusieurs fichiers");
    ImporterlestagsID3V1versID3V21 = item(operations, "Importer les tags ID3V1 vers ID3V2");
    operations->addSeparator();
    Formaterlestags1 = item(operations, "Formater les tags (Majuscules / Minuscules)");
    Validerlestassupprimelescaractresincorrects1 =
        item(operations, "Valider les tags (supprime les caractères incorrects)");
    Incrmenterlespistes1 = item(operations, "Incrémenter les pistes");
    Normaliserlevolume1 = item(operations, "Normaliser le volume");
    operations->addSeparator();
    Renommageintelligentdesfichiers1 = item(operations, "Renommage intelligent des fichiers");
    Faireunelisteauformattxt1 = item(operations, "Créer une liste");
    CrerunePlaylist1 = item(operations, "Créer une Playlist compatible Winamp (des fichiers sélectionnés)");
    JoueravecWinamp1 = item(operations, "Ecouter les fichiers sélectionnés avec Winamp");

    QMenu* convertir = MainMenu1->addMenu(QStringLiteral("Convertir"));
    ConvertirReconvertir1 = item(convertir, "Convertir WAV > MP3");
    ConvertirMP3Wav1 = item(convertir, "Convertir MP3 > WAV");

    QMenu* cd = MainMenu1->addMenu(QStringLiteral("CD"));
    RipperunCD1 = item(cd, "Extraire les pistes d'un CD");

    QMenu* options = MainMenu1->addMenu(QStringLiteral("Options"));
    Gnral1 = item(options, "Général");
    Renommageintelligentdesfichiers2 = item(options, "Renommage intelligent des fichiers");
    ExatrctiondespistesdunCD1 = item(options, "Extraction des pistes d'un CD");
    ags1 = item(options, "Tags");
    CDDB1 = item(options, "CDDB");

    QMenu* winamp = MainMenu1->addMenu(QStringLiteral("Winamp"));
    OuvrirlepanneaudecontrledeWinamp1 = item(winamp, "Afficher le panneau de contrôle de Winamp");
    OuvrirlepanneaudecontrledeWinamp1->setCheckable(true);
    OuvrirlepanneaudecontrledeWinamp1->setChecked(true);
    // The player's options had no way in: the Winamp menu offers one.
    OptionsWinamp1 = item(winamp, "Options de Winamp...");

    QMenu* aide = MainMenu1->addMenu(QStringLiteral("Aide"));
    Aide2 = item(aide, "Aide");
    Aide2->setShortcut(QKeySequence::HelpContents);
    APropos1 = item(aide, "A Propos...");

    QMenu* version = MainMenu1->addMenu(QStringLiteral("Version de Sonoverne"));
    ChercherunenouvelleversionsurInternet1 = item(version, "Chercher une nouvelle version sur Internet");

    PopupMenu1 = new QMenu(this);
    Modificationsdestags1 = item(PopupMenu1, "Modification des tags");
    Renommerlesfichiers1 = item(PopupMenu1, "Renommage intelligent");
    Crerunelisteauformattxt1 = item(PopupMenu1, "Créer une liste");
    FormaterlestagsMajusculesMinuscules1 = item(PopupMenu1, "Formater les tags (Majuscules / Minuscules)");
    Validerlestagssupprimelescaractresincorectes1 =
        item(PopupMenu1, "Valider les tags (supprime les caractères incorrects)");
    PopupMenu1->addSeparator();
    Normaliserlevolume2 = item(PopupMenu1, "Normaliser le volume");
    ConvertirenWAV1 = item(PopupMenu1, "Convertir en WAV");
    PopupMenu1->addSeparator();
    CrerunePlaylistWinamp1 = item(PopupMenu1, "Créer une Playlist compatible Winamp");
    JouerdansWinamp1 = item(PopupMenu1, "Ecouter avec Winamp");
    PopupMenu1->addSeparator();
    Rafraichir3 = item(PopupMenu1, "Rafraichir (les éléments sélectionnés)");

    const std::pair<QAction*, void (TForm1::*)()> handlers[] = {
        {Quitter1, &TForm1::Quitter1Click},
        {Artistes2, &TForm1::Artistes2Click},
        {Albums1, &TForm1::Albums1Click},
        {Slectionnertout1, &TForm1::Slectionnertout1Click},
        {Rafraichir1, &TForm1::Rafraichir1Click},
        {Editerlestags1, &TForm1::Editerlestags1Click},
        {Modificationsdetagsdeplusieursfichiers1, &TForm1::Modificationsdetagsdeplusieursfichiers1Click},
        {ImporterlestagsID3V1versID3V21, &TForm1::ImporterlestagsID3V1versID3V21Click},
        {Formaterlestags1, &TForm1::Formaterlestags1Click},
        {Validerlestassupprimelescaractresincorrects1, &TForm1::Validerlestassupprimelescaractresincorrects1Click},
        {Incrmenterlespistes1, &TForm1::Incrmenterlespistes1Click},
        {Normaliserlevolume1, &TForm1::Normaliserlevolume1Click},
        {Renommageintelligentdesfichiers1, &TForm1::Renommageintelligentdesfichiers1Click},
        {Faireunelisteauformattxt1, &TForm1::Faireunelisteauformattxt1Click},
        {CrerunePlaylist1, &TForm1::CrerunePlaylist1Click},
        {JoueravecWinamp1, &TForm1::JoueravecWinamp1Click},
        {ConvertirReconvertir1, &TForm1::ConvertirReconvertir1Click},
        {ConvertirMP3Wav1, &TForm1::ConvertirMP3Wav1Click},
        {RipperunCD1, &TForm1::RipperunCD1Click},
        {Gnral1, &TForm1::Gnral1Click},
        {Renommageintelligentdesfichiers2, &TForm1::Renommageintelligentdesfichiers2Click},
        {ExatrctiondespistesdunCD1, &TForm1::ExatrctiondespistesdunCD1Click},
        {ags1, &TForm1::ags1Click},
        {CDDB1, &TForm1::CDDB1Click},
        {OuvrirlepanneaudecontrledeWinamp1, &TForm1::OuvrirlepanneaudecontrledeWinamp1Click},
        {OptionsWinamp1, &TForm1::Winamp1Click},
        {Aide2, &TForm1::Aide2Click},
        {APropos1, &TForm1::APropos1Click},
        {ChercherunenouvelleversionsurInternet1, &TForm1::ChercherunenouvelleversionsurInternet1Click},
        {Modificationsdestags1, &TForm1::Modificationsdestags1Click},
        {Renommerlesfichiers1, &TForm1::Renommerlesfichiers1Click},
        {Crerunelisteauformattxt1, &TForm1::Crerunelisteauformattxt1Click},
        {FormaterlestagsMajusculesMinuscules1, &TForm1::FormaterlestagsMajusculesMinuscules1Click},
        {Validerlestagssupprimelescaractresincorectes1, &TForm1::Validerlestagssupprimelescaractresincorectes1Click},
        {Normaliserlevolume2, &TForm1::Normaliserlevolume2Click},
        {ConvertirenWAV1, &TForm1::ConvertirenWAV1Click},
        {CrerunePlaylistWinamp1, &TForm1::CrerunePlaylistWinamp1Click},
        {JouerdansWinamp1, &TForm1::JouerdansWinamp1Click},
        {Rafraichir3, &TForm1::Rafraichir3Click},
    };
    for (const auto& [action, handler] : handlers) ui::on(action, &QAction::triggered, this, handler);

    ui::on(ListView1, &QAbstractItemView::doubleClicked, this, &TForm1::ListView1DblClick);
}

// Tool windows ---------------------------------------------------------------------------------

void TForm1::handSelectedRows(ui::ListBox* list)
{
    for (const std::string& path : SelectedPaths()) list->Add(path);
}

void TForm1::showModelessHidingMain(ui::Form* form)
{
    form->Show();
    Hide();
}

void TForm1::Modificationsdestags1Click()
{
    handSelectedRows(Form6->ListBox1);
    Form6->ShowModal();
}
void TForm1::Renommerlesfichiers1Click()
{
    handSelectedRows(Form8->ListBox1);
    Form8->ShowModal();
}
void TForm1::Crerunelisteauformattxt1Click()
{
    handSelectedRows(Form9->ListBox1);
    showModelessHidingMain(Form9);
}
void TForm1::FormaterlestagsMajusculesMinuscules1Click()
{
    handSelectedRows(Form13->ListBox1);
    Form13->ShowModal();
}
void TForm1::Validerlestagssupprimelescaractresincorectes1Click()
{
    handSelectedRows(Form14->ListBox1);
    Form14->ShowModal();
}
void TForm1::Normaliserlevolume2Click()
{
    handSelectedRows(Form15->ListBox1);
    showModelessHidingMain(Form15);
}
void TForm1::ConvertirenWAV1Click()
{
    handSelectedRows(Form21->ListBox1);
    showModelessHidingMain(Form21);
}
void TForm1::Convertir1Click()
{
    handSelectedRows(Form12->ListBox1);
    Form12->ShowModal();
}

void TForm1::Quitter1Click() { QApplication::quit(); }
void TForm1::Gnral1Click() { Form2->ShowModal(); }
void TForm1::Renommageintelligentdesfichiers2Click() { Form17->ShowModal(); }
void TForm1::ExatrctiondespistesdunCD1Click() { Form19->ShowModal(); }
void TForm1::ags1Click() { Form20->ShowModal(); }
void TForm1::CDDB1Click() { Form24->ShowModal(); }
void TForm1::Winamp1Click() { Form18->ShowModal(); }
void TForm1::Modificationsdetagsdeplusieursfichiers1Click() { Form6->ShowModal(); }
void TForm1::ImporterlestagsID3V1versID3V21Click() { Form7->ShowModal(); }
void TForm1::Formaterlestags1Click() { Form13->ShowModal(); }
void TForm1::Validerlestassupprimelescaractresincorrects1Click() { Form14->ShowModal(); }
void TForm1::Incrmenterlespistes1Click() { Form25->ShowModal(); }
void TForm1::Normaliserlevolume1Click() { showModelessHidingMain(Form15); }
void TForm1::Renommageintelligentdesfichiers1Click() { Form8->ShowModal(); }
void TForm1::Faireunelisteauformattxt1Click() { showModelessHidingMain(Form9); }
void TForm1::ConvertirReconvertir1Click() { Form12->ShowModal(); }
void TForm1::ConvertirMP3Wav1Click() { showModelessHidingMain(Form21); }
void TForm1::RipperunCD1Click() { Form11->ShowModal(); }
void TForm1::APropos1Click() { Form5->ShowModal(); }

// Playlists ------------------------------------------------------------------------------------

void TForm1::CrerunePlaylistWinamp1Click() { CrerunePlaylist1Click(); }

void TForm1::CrerunePlaylist1Click()
{
    StartPlaylist();
    for (const std::string& path : SelectedPaths()) AddPlaylistEntry(path);
    SavePlaylist();
}

void TForm1::StartPlaylist()
{
    PlaylistText = PlaylistHeader;
    PlaylistLeftOut.clear();
}

void TForm1::AddPlaylistEntry(const std::string& path)
{
    if (!FitsPlaylistLine(path)) {
        PlaylistLeftOut.push_back(path);
        return;
    }
    LastTagStatus = MainTag.LoadFromFile(path, 0);
    PlaylistTitle.clear();
    PlaylistArtist.clear();
    if (tagOk(LastTagStatus)) {
        PlaylistTitle = shownTagText(MainTag, "TIT2").text;
        PlaylistArtist = shownTagText(MainTag, "TPE1").text;
    }
    AppendPlaylistEntry(PlaylistText, PlaylistArtist, PlaylistTitle, path);
}

void TForm1::SavePlaylist()
{
    const QString chosen =
        ui::Dialogs::SaveFileName(this, SaveDialog1DefaultExt, SaveDialog1Filter, platform::toDisplay(Mp3Folder));
    if (chosen.isEmpty()) return;
    const std::string name = platform::fromDisplay(chosen);

    // Written aside and renamed, as the text list is: a full disk never leaves an earlier
    // playlist of that name cut short.
    if (const int error = platform::writeFileAside(name, PlaylistText, platform::AtLink::WriteTarget))
        throw std::runtime_error(platform::fileFailureText(platform::FileAction::Write, name, error));

    if (!PlaylistLeftOut.empty()) {
        QString names;
        for (size_t i = 0; i < PlaylistLeftOut.size() && i < 10; ++i)
            names += QStringLiteral("\r\n") + platform::toDisplayLine(PlaylistLeftOut[i]);
        if (PlaylistLeftOut.size() > 10)
            names += QStringLiteral("\r\n(et %1 autre(s))").arg(PlaylistLeftOut.size() - 10);
        ui::Dialogs::MessageBox(
            this,
            QStringLiteral(
                "Ces fichiers n'ont pas été mis dans la liste, car leur nom contient un retour à la ligne :") +
                names,
            QStringLiteral("Sonoverne"), ui::MB_OK | ui::MB_ICONWARNING);
    }

    const int answer = ui::Dialogs::MessageBox(
        this, QStringLiteral("Création de liste terminée\r\nVoulez-vous l'écouter immédiatement avec Winamp ?"),
        QStringLiteral("Sonoverne"), ui::MB_YESNO);
    if (answer != ui::IDYES) return;
    // One argument, never split again: quotes and backslashes in the name reach the player whole.
    platform::startProgram(WinampExe, std::vector<std::string>{name});
}

// The player -----------------------------------------------------------------------------------

void TForm1::JouerdansWinamp1Click() { JoueravecWinamp1Click(); }

void TForm1::JoueravecWinamp1Click()
{
    const std::vector<std::string> paths = SelectedPaths();
    {
        // One command: a player that does not answer holds the window 2 s in all.
        const TWinAmpControl::TCommand command(WinAmpControl1);
        WinAmpControl1.GoFindWinAmp();
        if (!WinAmpControl1.Found()) return;
        // Each file replaces the previous one: the player ends with the last one playing.
        for (std::size_t i = 0; i < paths.size() && WinAmpControl1.Answering(); ++i) {
            WinAmpControl1.ClearPlaylist();
            WinAmpControl1.AddFile(paths[i].c_str());
            WinAmpControl1.Play();
        }
    }
    if (!paths.empty() && !WinAmpControl1.Answering())
        ui::Dialogs::MessageBox(this,
                                QStringLiteral("Winamp ne répond pas : les fichiers sélectionnés n'ont pas "
                                               "tous pu lui être envoyés."),
                                QStringLiteral("Sonoverne"), ui::MB_OK | ui::MB_ICONWARNING);
}

void TForm1::OuvrirlepanneaudecontrledeWinamp1Click()
{
    // The action has already inverted its check mark.
    if (!OuvrirlepanneaudecontrledeWinamp1->isChecked()) {
        Form26->Hide();
        return;
    }
    WinAmpControl1.GoFindWinAmp();
    if (WinAmpControl1.Found()) {
        Form26->Show();
        const QRect frame = frameGeometry();
        Form26->move(frame.left() + frame.width() - 260, frame.top() + 5);
    } else {
        OuvrirlepanneaudecontrledeWinamp1->setChecked(false);
    }
}

// The tag editor -------------------------------------------------------------------------------

void TForm1::Editerlestags1Click()
{
    const std::vector<std::string> paths = SelectedPaths();
    if (paths.empty()) {
        ui::Dialogs::MessageBox(this, QStringLiteral("Veuillez choisir un fichier"), QStringLiteral("Sonoverne"),
                                ui::MB_OK);
        return;
    }
    if (paths.size() > 1) {
        ui::Dialogs::MessageBox(this, QStringLiteral("Veuillez choisir un seul fichier"), QStringLiteral("Sonoverne"),
                                ui::MB_OK);
        return;
    }
    Form4->setFileName(paths.front());
    Form4->ShowModal();
}

void TForm1::ListView1DblClick()
{
    const std::vector<std::string> paths = SelectedPaths();
    if (paths.size() != 1) return;
    Form4->Tag = 1;
    Form4->setFileName(paths.front());
    Form4->ShowModal();
}

void TForm1::ListView1KeyUp(int key)
{
    if (key != Qt::Key_Return && key != Qt::Key_Enter) return;
    // The release of the Enter that closed the editor reaches the list without its press:
    // it must not open the editor again.
    if (!enterPressedInList_) return;
    enterPressedInList_ = false;
    ListView1DblClick();
}

// Help and update ------------------------------------------------------------------------------

void TForm1::Aide2Click()
{
    platform::openDocument(platform::withTrailingSeparator(platform::programFolder()) + "Aide/index.htm");
}

void TForm1::ChercherunenouvelleversionsurInternet1Click()
{
    if (DownLoadNewVersion(uintptr_t(winId()), UpdateScriptURL.c_str(), HomePageURL.c_str())) Close();
}
