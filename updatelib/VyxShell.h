// What the library's windows ask of the desktop: the caller's window that owns them, message
// boxes, opening URLs, beeps and the error box behind every handler. Tests replace the parts that
// would leave the process (opening a URL, sounding) and watch the message boxes.
#pragma once

#include <QFont>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QString>
#include <QUrl>
#include <QWidget>

#include <cstdint>
#include <functional>

namespace vyx {

// The caller's window, made the owner of the library's windows by every export that shows one.
void SetApplicationWindow(std::uintptr_t appHandle);
QWidget* ApplicationWindow();
// The title of the calling application (shown by custom-kind dialogs without a caption).
QString ApplicationTitle();
// True when a QApplication runs and this is its thread, so that windows can be made.
bool GuiAvailable();

// A modal message box; the answer is the button pressed.
QMessageBox::StandardButton ShowMessageBox(QWidget* owner, QMessageBox::Icon icon, const QString& title,
                                           const QString& text, QMessageBox::StandardButtons buttons);
// Called with each box just before it runs, so that tests can read and answer it.
using MessageBoxObserver = std::function<void(QMessageBox*)>;
void SetMessageBoxObserver(MessageBoxObserver observer);

// Opens a document, URL or mailto text with the desktop's handler.
bool OpenUrl(const QUrl& url);
using UrlOpener = std::function<bool(const QUrl&)>;
void SetUrlOpener(UrlOpener opener);  // empty: the desktop's handler

enum class TBeep { Exclamation, Hand, Asterisk, Question };
void MessageBeep(TBeep kind);
using BeepHook = std::function<void(TBeep)>;
void SetBeepHook(BeepHook hook);  // empty: the application's beep

// Runs a handler; an exception ends it with the error box instead of crossing the event loop.
void Guarded(QWidget* owner, const std::function<void()>& handler);

// The forms' font: the named family where installed, else the platform's own, at a pixel size.
QFont FormFont(const QFont& base, const char* family, int pixelSize);

// A push button of a fixed-layout form; Enter answers only through the form's default button.
QPushButton* PlaceButton(QWidget* form, const char* name, const char* caption, const QRect& rect);

// Rounded a * b / c, as the platform's multiply-divide does (halves away from zero).
int MulDiv(int a, int b, int c);

}  // namespace vyx
