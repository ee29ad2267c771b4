// The program's general error box, behind a replaceable hook so that tests count the messages
// instead of blocking in a modal box.
#pragma once

#include <exception>
#include <functional>
#include <string>

namespace tamberline {

// Receives the finished text (full stop rule applied).
using TErrorBoxHook = std::function<void(const std::string& text)>;

// Installs `hook` (an empty one restores the real box) and returns the one it replaced.
TErrorBoxHook SetErrorBoxHook(TErrorBoxHook hook);

// Shows `e` in the general error box: title "Настройка времени", error icon, the message.
void ShowGeneralError(const std::exception& e);

// Makes the serial layer's application error handler show the same box.
void InstallGeneralErrorHandler();

// Runs `fn`; an error raised in it ends it there and is shown in the box, as for every handler.
template <class F>
void Guarded(F&& fn) {
    try {
        fn();
    } catch (const std::exception& e) {
        ShowGeneralError(e);
    }
}

}  // namespace tamberline
