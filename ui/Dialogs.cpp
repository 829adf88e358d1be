#include "Dialogs.h"
#include "Guard.h"

#include <QApplication>
#include <QFileDialog>
#include <QGuiApplication>
#include <QLibraryInfo>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTranslator>

#include <optional>

namespace ui {

namespace {

struct Script {
    QString title = QStringLiteral("Sonoverne");
    std::deque<int> answers;
    std::deque<QString> fileNames;
    std::vector<ShownBox> shown;
    std::vector<AskedSaveDialog> saveDialogs;
};

Script& script()
{
    static Script s;
    return s;
}

bool headless()
{
    return QGuiApplication::platformName() == QLatin1String("offscreen") ||
           QGuiApplication::platformName() == QLatin1String("minimal");
}

int firstButton(unsigned flags)
{
    switch (flags & 0xF) {
    case MB_YESNO:
    case MB_YESNOCANCEL: return IDYES;
    default: return IDOK;
    }
}

// The windows that had the keyboard, the last first: the one in use is the first still shown,
// also while none has it.
std::vector<QPointer<QWidget>>& windowsInUse()
{
    static std::vector<QPointer<QWidget>> windows;
    return windows;
}

void nowInUse(QWidget* window)
{
    auto& windows = windowsInUse();
    std::erase_if(windows, [window](const QPointer<QWidget>& w) { return !w || w == window; });
    windows.insert(windows.begin(), window);
}

QWidget* lastInUse()
{
    for (const QPointer<QWidget>& w : windowsInUse())
        if (w && w->isVisible()) return w;
    return nullptr;
}

// The window a box or dialog stands over. One that stands over no window, or over a hidden one,
// is a window of its own: the window manager may keep it below the window in use, where no one
// sees it and the program seems frozen behind its modal box. Right after a dialog closes no
// window is active yet: the box then stands over the window last in use.
QWidget* shownOwner(QWidget* owner)
{
    for (QWidget* w : {owner, QApplication::activeModalWidget(), QApplication::activeWindow(), lastInUse()})
        if (w && w->window()->isVisible()) return w->window();
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->isVisible() && w->windowType() == Qt::Window) return w;
    return nullptr;
}

int askUser(QWidget* owner, const QString& text, const QString& caption, unsigned flags)
{
    QMessageBox box(owner);
    box.setWindowTitle(caption);
    box.setText(text);
    switch (flags & 0xF0) {
    case MB_ICONERROR: box.setIcon(QMessageBox::Critical); break;
    case MB_ICONQUESTION: box.setIcon(QMessageBox::Question); break;
    case MB_ICONWARNING: box.setIcon(QMessageBox::Warning); break;
    case MB_ICONINFORMATION: box.setIcon(QMessageBox::Information); break;
    default: break;
    }
    std::vector<std::pair<QPushButton*, int>> buttons;
    auto add = [&](const QString& label, QMessageBox::ButtonRole role, int answer) {
        buttons.emplace_back(box.addButton(label, role), answer);
    };
    switch (flags & 0xF) {
    case MB_OKCANCEL:
        add(QStringLiteral("OK"), QMessageBox::AcceptRole, IDOK);
        add(QStringLiteral("Annuler"), QMessageBox::RejectRole, IDCANCEL);
        break;
    case MB_YESNO:
        add(QStringLiteral("Oui"), QMessageBox::YesRole, IDYES);
        add(QStringLiteral("Non"), QMessageBox::NoRole, IDNO);
        break;
    case MB_YESNOCANCEL:
        add(QStringLiteral("Oui"), QMessageBox::YesRole, IDYES);
        add(QStringLiteral("Non"), QMessageBox::NoRole, IDNO);
        add(QStringLiteral("Annuler"), QMessageBox::RejectRole, IDCANCEL);
        break;
    default: add(QStringLiteral("OK"), QMessageBox::AcceptRole, IDOK); break;
    }
    box.setDefaultButton(buttons.front().first);
    box.exec();
    for (auto& [button, answer] : buttons)
        if (box.clickedButton() == button) return answer;
    // Closed by Escape or the close box.
    return (flags & 0xF) == MB_YESNO ? IDNO : ((flags & 0xF) == MB_OK ? IDOK : IDCANCEL);
}

// A file name queued by a test, or none (an empty name) when no dialog can be shown here.
std::optional<QString> scriptedFileName()
{
    Script& s = script();
    if (!s.fileNames.empty()) {
        QString name = s.fileNames.front();
        s.fileNames.pop_front();
        return name;
    }
    if (headless()) return QString();
    return std::nullopt;
}

}  // namespace

QString Dialogs::applicationTitle() { return script().title; }
void Dialogs::setApplicationTitle(const QString& title) { script().title = title; }

int Dialogs::MessageBox(QWidget* owner, const QString& text, const QString& caption, unsigned flags)
{
    Script& s = script();
    int answer;
    if (!s.answers.empty()) {
        answer = s.answers.front();
        s.answers.pop_front();
    } else if (headless() || !QApplication::instance()) {
        answer = firstButton(flags);
    } else {
        answer = askUser(shownOwner(owner), text, caption, flags);
    }
    s.shown.push_back({caption, text, flags, answer});
    return answer;
}

void Dialogs::ShowMessage(const QString& text)
{
    MessageBox(QApplication::activeWindow(), text, applicationTitle(), MB_OK);
}

QString Dialogs::SaveFileName(QWidget* owner, const QString& defaultExt, const QString& filter,
                              const QString& initialFolder, ExistingFile existing)
{
    QFileDialog dialog(shownOwner(owner), QString(), initialFolder, qtFilter(filter));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(defaultExt);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, existing == ExistingFile::ReplaceWithoutAsking);
    // Recorded from the dialog itself, also when a test answers in its place.
    script().saveDialogs.push_back(
        {dialog.defaultSuffix(), dialog.nameFilters(), !dialog.testOption(QFileDialog::DontConfirmOverwrite)});
    if (std::optional<QString> name = scriptedFileName()) return *name;
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return QString();
    return dialog.selectedFiles().first();
}

QString Dialogs::OpenFileName(QWidget* owner, const QString& filter, const QString& initialFolder)
{
    if (std::optional<QString> name = scriptedFileName()) return *name;
    return QFileDialog::getOpenFileName(shownOwner(owner), QString(), initialFolder, qtFilter(filter));
}

void Dialogs::pushAnswer(int answer) { script().answers.push_back(answer); }
void Dialogs::pushFileName(const QString& fileName) { script().fileNames.push_back(fileName); }
const std::vector<ShownBox>& Dialogs::shown() { return script().shown; }
const std::vector<AskedSaveDialog>& Dialogs::saveDialogs() { return script().saveDialogs; }

void Dialogs::clearScript()
{
    Script& s = script();
    s.answers.clear();
    s.fileNames.clear();
    s.shown.clear();
    s.saveDialogs.clear();
}

void prepareApplication()
{
    static bool prepared = false;
    if (prepared || !QCoreApplication::instance()) return;
    prepared = true;
    auto* translator = new QTranslator(QCoreApplication::instance());
    if (translator->load(QStringLiteral("qtbase_fr"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(translator);
    QObject::connect(qApp, &QApplication::focusChanged, qApp, [](QWidget*, QWidget* now) {
        if (now) nowInUse(now->window());
    });
}

QString qtFilter(const QString& filter)
{
    const QStringList pieces = filter.split(QLatin1Char('|'));
    QStringList out;
    for (qsizetype i = 0; i + 1 < pieces.size(); i += 2) {
        QString patterns = pieces[i + 1];
        patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
        QString text = pieces[i];
        // "Playlists (*.m3u)" already names its patterns: Qt reads them from the parentheses.
        out << (text.contains(QLatin1Char('(')) ? text : text + QStringLiteral(" (") + patterns + QLatin1Char(')'));
    }
    return out.join(QStringLiteral(";;"));
}

void ShowException(const std::string& message)
{
    QString text = QString::fromUtf8(message.data(), qsizetype(message.size()));
    if (!text.isEmpty() && !text.endsWith(QLatin1Char('.'))) text += QLatin1Char('.');
    Dialogs::MessageBox(QApplication::activeWindow(), text, Dialogs::applicationTitle(), MB_OK | MB_ICONERROR);
}

}  // namespace ui
