// The main window: the music-folder walk, the collection tree and the file list, and the
// commands of the menus.
#pragma once

#include "Form.h"
#include "Scrute.h"

#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QSplitter>
#include <QToolBar>
#include <QToolButton>
#include <QTreeView>
#include <QTreeWidget>
#include <functional>

class TForm1 : public ui::Form {
public:
    TForm1();

    // Handlers.
    void FormCreate();
    void FormActivate();
    void FormShortCut(int key, Qt::KeyboardModifiers shift);
    void Rafraichir1Click();
    void ScruteDossier1Fichier(TScruteDossier* Sender, const std::string& Nom);
    void ScruteDossier1FinExecute(TScruteDossier* Sender);
    void Quitter1Click();
    void Gnral1Click();
    void Winamp1Click();

    // Clears the tree and the list before a walk.
    void ClearTreeAndList();
    // Builds the distinct lists and the tree after a walk.
    void BuildDistinctLists();

    TScruteDossier ScruteDossier1;

    QMenuBar* MainMenu1;
    QAction* Quitter1;
    QAction* Rafraichir1;
    QAction* Gnral1;
    QAction* OuvrirlepanneaudecontrledeWinamp1;

    QToolBar* ToolBar1;
    QSplitter* Splitter1;
    QTreeWidget* TreeView1;
    QTreeView* ListView1;
    QWidget* StatusBar1;
    QLabel* StatusPanels[3];

    // Runs once a walk has ended and the window is up to date (the headless run takes its
    // picture there).
    std::function<void()> AfterWalk;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool FirstActivationDone = false;
};

extern TForm1* Form1;
