#include "VyxShell.h"

#include <QApplication>
#include <QDesktopServices>
#include <QGuiApplication>
#include <QThread>

#include <cstdlib>
#include <exception>

namespace vyx {
namespace {

QPointer<QWidget>& AppWindow()
{
    static QPointer<QWidget> window;
    return window;
}
MessageBoxObserver& BoxObserver()
{
    static MessageBoxObserver observer;
    return observer;
}
UrlOpener& Opener()
{
    static UrlOpener opener;
    return opener;
}
BeepHook& Beeper()
{
    static BeepHook hook;
    return hook;
}

}  // namespace

void SetApplicationWindow(std::uintptr_t appHandle)
{
    QWidget* window = appHandle ? QWidget::find(static_cast<WId>(appHandle)) : nullptr;
    AppWindow() = window ? window->window() : nullptr;
}

QWidget* ApplicationWindow() { return AppWindow().data(); }

QString ApplicationTitle() { return QGuiApplication::applicationDisplayName(); }

bool GuiAvailable()
{
    // Windows belong to the application's thread: from any other, a window would deadlock or
    // crash the host, so the exports do there what they do without an application.
    const QCoreApplication* app = qobject_cast<QApplication*>(QCoreApplication::instance());
    return app && app->thread() == QThread::currentThread();
}

QMessageBox::StandardButton ShowMessageBox(QWidget* owner, QMessageBox::Icon icon, const QString& title,
                                           const QString& text, QMessageBox::StandardButtons buttons)
{
    QMessageBox box(icon, title, text, buttons, owner);
    box.setObjectName(QStringLiteral("VyxMessageBox"));
    box.setTextFormat(Qt::PlainText);
    if (BoxObserver()) BoxObserver()(&box);
    return static_cast<QMessageBox::StandardButton>(box.exec());
}

void SetMessageBoxObserver(MessageBoxObserver observer) { BoxObserver() = std::move(observer); }

bool OpenUrl(const QUrl& url)
{
    if (Opener()) return Opener()(url);
    return QDesktopServices::openUrl(url);
}

void SetUrlOpener(UrlOpener opener) { Opener() = std::move(opener); }

void MessageBeep(TBeep kind)
{
    if (Beeper()) Beeper()(kind);
    else QApplication::beep();
}

void SetBeepHook(BeepHook hook) { Beeper() = std::move(hook); }

void Guarded(QWidget* owner, const std::function<void()>& handler)
{
    QString message;
    try {
        handler();
        return;
    } catch (const std::exception& e) {
        message = QString::fromUtf8(e.what());
    } catch (...) {
        message = QStringLiteral("Erreur inattendue.");
    }
    ShowMessageBox(owner, QMessageBox::Critical, QStringLiteral("Erreur"), message, QMessageBox::Ok);
}

QFont FormFont(const QFont& base, const char* family, int pixelSize)
{
    QFont font = base;
    font.setFamilies({QString::fromLatin1(family), base.family()});
    font.setPixelSize(pixelSize);
    return font;
}

QPushButton* PlaceButton(QWidget* form, const char* name, const char* caption, const QRect& rect)
{
    auto* button = new QPushButton(QString::fromUtf8(caption), form);
    button->setObjectName(QString::fromLatin1(name));
    button->setGeometry(rect);
    button->setAutoDefault(false);
    return button;
}

int MulDiv(int a, int b, int c)
{
    if (c == 0) return -1;
    const long long product = static_cast<long long>(a) * b;
    const long long half = std::llabs(static_cast<long long>(c)) / 2;
    const bool negative = (product < 0) != (c < 0);
    const long long magnitude = (std::llabs(product) + half) / std::llabs(static_cast<long long>(c));
    return static_cast<int>(negative ? -magnitude : magnitude);
}

}  // namespace vyx
