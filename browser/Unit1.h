// The main window: the music-folder walk, the collection tree and the file list, and the
// commands of the menus.
#pragma once

#include "CollectionLists.h"
#include "FileListModel.h"
#include "Form.h"
#include "ListBox.h"
#include "Scrute.h"
#include "WinAmp.h"
#include "id3v2.h"
#include "variable.h"

#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QSplitter>
#include <QToolBar>
#include <QTreeView>
#include <QTreeWidget>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

// The tag object of the walk, the playlists and the refresh of selected rows.
extern Tid3v2tag MainTag;
extern TTagStatus LastTagStatus;

// Size of a file in bytes; 0 when it cannot be found.
int64_t FileSizeOf(const std::string& path);
// A size in bytes as megabytes with two decimals, half to even, in the shortest form with the
// user's decimal separator ("3,5", "4", "1,25").
std::string SizeInMegabytes(int64_t bytes);

// Kinds of tree node, by their image: 0 artist, 1 album, 2 genre.
enum NodeImage : int { imgArtist = 0, imgAlbum = 1, imgGenre = 2 };

class TForm1 : public ui::Form {
public:
    TForm1();

    // Start-up, walk and reload.
    void FormCreate();
    void FormActivate();
    void FormShortCut(int key, Qt::KeyboardModifiers shift);
    void FormPaint();
    void Rafraichir1Click();
    void ScruteDossier1Fichier(TScruteDossier* Sender, const std::string& Nom);
    void ScruteDossier1FinExecute(TScruteDossier* Sender);
    void ReadFileTags();

    // Tree and list.
    void BuildDistinctLists();
    void BuildArtistTree();
    void BuildAlbumTree();
    void BuildGenreTree();
    void FilterListByNode();
    void AddListRow(int pos);
    void TreeView1Click();
    void TreeView1KeyUp(int key);
    void TreeView1Expanding(QTreeWidgetItem* node);
    void ListView1ColumnClick(int column);
    void ToolButton1Click() { BuildArtistTree(); }
    void ToolButton2Click() { BuildAlbumTree(); }
    void ToolButton3Click() { BuildGenreTree(); }
    void Artistes2Click() { BuildArtistTree(); }
    void Albums1Click() { BuildAlbumTree(); }
    void Slectionnertout1Click();
    void Rafraichir3Click();

    // Menu commands that hand the selected rows to a tool window.
    void Modificationsdestags1Click();
    void Renommerlesfichiers1Click();
    void Crerunelisteauformattxt1Click();
    void FormaterlestagsMajusculesMinuscules1Click();
    void Validerlestagssupprimelescaractresincorectes1Click();
    void Normaliserlevolume2Click();
    void ConvertirenWAV1Click();
    void Convertir1Click();
    // Menu commands that open a window.
    void Quitter1Click();
    void Gnral1Click();
    void Renommageintelligentdesfichiers2Click();
    void ExatrctiondespistesdunCD1Click();
    void ags1Click();
    void CDDB1Click();
    void Winamp1Click();
    void Modificationsdetagsdeplusieursfichiers1Click();
    void ImporterlestagsID3V1versID3V21Click();
    void Formaterlestags1Click();
    void Validerlestassupprimelescaractresincorrects1Click();
    void Incrmenterlespistes1Click();
    void Normaliserlevolume1Click();
    void Renommageintelligentdesfichiers1Click();
    void Faireunelisteauformattxt1Click();
    void ConvertirReconvertir1Click();
    void ConvertirMP3Wav1Click();
    void RipperunCD1Click();
    void APropos1Click();
    // Playlists, the player, the tag editor, help and the update check.
    void CrerunePlaylistWinamp1Click();
    void CrerunePlaylist1Click();
    void StartPlaylist();
    void AddPlaylistEntry(const std::string& path);
    void SavePlaylist();
    void JouerdansWinamp1Click();
    void JoueravecWinamp1Click();
    void OuvrirlepanneaudecontrledeWinamp1Click();
    void Editerlestags1Click();
    void ListView1DblClick();
    void ListView1KeyUp(int key);
    void Aide2Click();
    void ChercherunenouvelleversionsurInternet1Click();

    // Clears the tree and the list before a walk.
    void ClearTreeAndList();
    // Full paths of the selected list rows, in list order.
    std::vector<std::string> SelectedPaths() const;

    TScruteDossier ScruteDossier1;
    TWinAmpControl WinAmpControl1;

    QMenuBar* MainMenu1;
    QAction* Quitter1;
    QAction* Artistes2;
    QAction* Albums1;
    QAction* Slectionnertout1;
    QAction* Rafraichir1;
    QAction* Editerlestags1;
    QAction* Modificationsdetagsdeplusieursfichiers1;
    QAction* ImporterlestagsID3V1versID3V21;
    QAction* Formaterlestags1;
    QAction* Validerlestassupprimelescaractresincorrects1;
    QAction* Incrmenterlespistes1;
    QAction* Normaliserlevolume1;
    QAction* Renommageintelligentdesfichiers1;
    QAction* Faireunelisteauformattxt1;
    QAction* CrerunePlaylist1;
    QAction* JoueravecWinamp1;
    QAction* ConvertirReconvertir1;
    QAction* ConvertirMP3Wav1;
    QAction* RipperunCD1;
    QAction* Gnral1;
    QAction* Renommageintelligentdesfichiers2;
    QAction* ExatrctiondespistesdunCD1;
    QAction* ags1;
    QAction* CDDB1;
    QAction* OuvrirlepanneaudecontrledeWinamp1;
    QAction* OptionsWinamp1;
    QAction* Aide2;
    QAction* APropos1;
    QAction* ChercherunenouvelleversionsurInternet1;
    QMenu* PopupMenu1;
    QAction* Modificationsdestags1;
    QAction* Renommerlesfichiers1;
    QAction* Crerunelisteauformattxt1;
    QAction* FormaterlestagsMajusculesMinuscules1;
    QAction* Validerlestagssupprimelescaractresincorectes1;
    QAction* Normaliserlevolume2;
    QAction* ConvertirenWAV1;
    QAction* CrerunePlaylistWinamp1;
    QAction* JouerdansWinamp1;
    QAction* Rafraichir3;

    // The playlist being built, and the artist and title of its entry being written.
    std::string PlaylistText;
    std::string PlaylistArtist;
    std::string PlaylistTitle;
    // Selected files whose names hold a line end: left out of the playlist, named after it.
    std::vector<std::string> PlaylistLeftOut;
    // The save dialog of the playlists.
    const QString SaveDialog1DefaultExt = QStringLiteral("m3u");
    const QString SaveDialog1Filter = QStringLiteral("Playlists au format m3u (*.m3u)|*.m3u");

    QToolBar* ToolBar1;
    QAction* ToolButton1;
    QAction* ToolButton2;
    QAction* ToolButton3;
    QSplitter* Splitter1;
    QTreeWidget* TreeView1;
    QTreeView* ListView1;
    FileListModel* ListModel;
    QWidget* StatusBar1;
    QLabel* StatusPanels[3];
    QIcon ImageList1[3];

    // The distinct artists, albums and genres in first-seen order.
    int ArtistCount = 0, AlbumCount = 0, GenreCount = 0;
    int RowsShown = 0;
    int SortColumn = 0;

    // Runs once a walk has ended and the window is up to date (the headless run takes its
    // picture there).
    std::function<void()> AfterWalk;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void createMenus();
    // Appends the selected rows' paths to a tool window's list.
    void handSelectedRows(class ui::ListBox* list);
    void showModelessHidingMain(ui::Form* form);

    // Children of a tree: the list's entries, each with the distinct values of collectField of
    // the rows whose matchField equals it, in table order.
    std::vector<TreeChild> collectChildren(const OneBasedTable<std::string>& names, int count, int matchField,
                                           int collectField) const;
    void BuildTree(const QString& root, int rootImage, const OneBasedTable<std::string>& names, int count,
                   int childImage, int matchField, int collectField, int grandchildImage, bool updateStatus);
    void showNodeStatus(const QString& text);
    void fillRowFromTag(int pos);

    bool FirstActivationDone = false;
    // An Enter whose press the list did not see (it closed the tag editor) opens nothing.
    bool enterPressedInList_ = false;
    // Parent of the node last filtered, kept between calls as the filter keeps it.
    std::string pText_;
    std::vector<int> pendingRows_;
    int pKind_ = 0;
    // FileTable rows by path, built on demand after each walk.
    std::unordered_map<std::string_view, std::vector<int>> pathRows_;
};

extern TForm1* Form1;

// Where the update check looks: the update script and the product's home page.
extern std::string UpdateScriptURL;
extern std::string HomePageURL;
