// Message boxes and file dialogs, in one service that tests can script: an answer queued with
// pushAnswer() is returned without showing anything, and every box asked for is recorded.
// On the offscreen platform a box with no queued answer is not shown either: it returns its
// first button, so that no handler can hang a headless run.
#pragma once

#include <QString>
#include <QStringList>
#include <deque>
#include <vector>

class QWidget;

namespace ui {

// Buttons and icons of a message box, and its answers, with the desktop's usual values.
enum MessageBoxFlags : unsigned {
    MB_OK = 0x0,
    MB_OKCANCEL = 0x1,
    MB_YESNOCANCEL = 0x3,
    MB_YESNO = 0x4,
    MB_ICONERROR = 0x10,
    MB_ICONQUESTION = 0x20,
    MB_ICONWARNING = 0x30,
    MB_ICONINFORMATION = 0x40,
};
enum MessageBoxAnswer : int { IDOK = 1, IDCANCEL = 2, IDYES = 6, IDNO = 7 };

struct ShownBox {
    QString caption;
    QString text;
    unsigned flags;
    int answer;
};

// A save dialog asked for, as it was set up.
struct AskedSaveDialog {
    QString defaultSuffix;
    QStringList nameFilters;
    bool confirmsOverwrite;  // asks before an existing file is replaced
};

// Whether a save dialog asks before it gives the name of an existing file.
enum class ExistingFile { Ask, ReplaceWithoutAsking };

class Dialogs {
public:
    // The application's title, used by ShowMessage and the error box.
    static QString applicationTitle();
    static void setApplicationTitle(const QString& title);

    static int MessageBox(QWidget* owner, const QString& text, const QString& caption, unsigned flags);
    static void ShowMessage(const QString& text);

    // A save or open dialog; an empty text is a cancelled dialog.
    static QString SaveFileName(QWidget* owner, const QString& defaultExt, const QString& filter,
                                const QString& initialFolder = QString(), ExistingFile existing = ExistingFile::Ask);
    static QString OpenFileName(QWidget* owner, const QString& filter, const QString& initialFolder = QString());

    // Scripting for tests.
    static void pushAnswer(int answer);
    static void pushFileName(const QString& fileName);
    static const std::vector<ShownBox>& shown();
    static const std::vector<AskedSaveDialog>& saveDialogs();
    static void clearScript();
};

// Call once the application exists. Qt's own texts (the standard dialogs' labels and buttons,
// context menus) in French, from Qt's translations (English where they are not installed), and
// the window in use followed, so that a box always stands over it.
void prepareApplication();

// Converts a filter of the form "Text|*.ext|Text2|*.ext2" to Qt's "Text (*.ext);;Text2 (*.ext2)".
QString qtFilter(const QString& filter);

}  // namespace ui
