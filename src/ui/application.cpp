#include "ui/application.h"

#include "ui/error_box.h"
#include "ui/pictures.h"

namespace tamberline {

TApplication::TApplication(int& argc, char** argv) : QApplication(argc, argv) {
    setApplicationName("tamberline");
    // The title goes to the error box and the main window's caption only: as the display name
    // the toolkit would append it to every dialog's caption.
    setApplicationVersion("1.05");
    // The installed menu entry and icons carry this name; the window shows the same picture as
    // the menu and the synchronised tray icon, so a task switcher finds the program by its face.
    setDesktopFileName("tamberline");
    setWindowIcon(SkyIcon(true));
    // The window lives in the tray: hiding it must not end the program.
    setQuitOnLastWindowClosed(false);
    InstallGeneralErrorHandler();
}

bool TApplication::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& e) {
        ShowGeneralError(e);
        return true;
    }
}

}  // namespace tamberline
