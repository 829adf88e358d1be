// Every event handler runs behind this guard: an exception becomes the application's standard
// error box and never crosses Qt's event loop.
#pragma once

#include <QObject>

#include <exception>
#include <string>
#include <type_traits>
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

// Connects a Qt signal, behind the guard, to a handler method of the receiver (called without
// the signal's arguments) or to a function taking the signal's arguments or none; the connection
// ends with the receiver.
template <class Sender, class Signal, class Receiver, class Handler>
void on(Sender* sender, Signal signal, Receiver* receiver, Handler handler)
{
    QObject::connect(sender, signal, receiver, [receiver, handler](auto... args) {
        guarded([&] {
            if constexpr (std::is_member_function_pointer_v<Handler>) (receiver->*handler)();
            else if constexpr (std::is_invocable_v<const Handler&, decltype(args)...>) handler(args...);
            else handler();
        });
        (void)receiver;
    });
}

}  // namespace ui
