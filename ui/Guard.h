// Every event handler runs behind this guard: an exception becomes the application's standard
// error box and never crosses Qt's event loop.
#pragma once

#include <QObject>

#include <exception>
#include <string>
#include <utility>

namespace ui {

// Shows the message of an exception that reached the event loop, titled with the application.
void ShowException(const std::string& message);

template <class F>
void guarded(F&& handler) noexcept
{
    try {
        std::forward<F>(handler)();
    } catch (const std::exception& e) {
        ShowException(e.what());
    } catch (...) {
        ShowException("Erreur inconnue");
    }
}

// Connects a Qt signal to a handler method of a window, behind the guard.
template <class Sender, class Signal, class Receiver, class Method>
void on(Sender* sender, Signal signal, Receiver* receiver, Method method)
{
    QObject::connect(sender, signal, receiver, [receiver, method] {
        guarded([&] { (receiver->*method)(); });
    });
}

}  // namespace ui
