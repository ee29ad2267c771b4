// The program's QApplication: its title, and the general error box for any error that escapes an
// event handler, after which the program goes on with the next event.
#pragma once

#include <QApplication>

namespace tamberline {

class TApplication : public QApplication {
  public:
    TApplication(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;
};

}  // namespace tamberline
