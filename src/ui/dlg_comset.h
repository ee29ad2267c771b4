// Port dialog: the serial device and the baud rate, each a list bound to the main port.
// The lists keep the user's last pick between showings; the port changes only on OK
// (see mnSetCOMClick).
#pragma once

#include <QDialog>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "serial/comport.h"
#include "ui/comcombobox.h"

class QLabel;
class QPushButton;

namespace tamberline {

class TDlgComSet : public QDialog {
    Q_OBJECT
  public:
    // A port list that cannot be read does not stop the dialog from being built: the port box
    // stays empty and the error is kept in PortListError() for the creator to report once.
    TDlgComSet(TCustomComPort& port, QWidget* parent = nullptr);
    // Same, with the device names taken from `portLister` instead of the machine's list.
    TDlgComSet(TCustomComPort& port, std::function<void(std::vector<std::string>&)> portLister,
               QWidget* parent = nullptr);

    const EComPort* PortListError() const { return portListError ? &*portListError : nullptr; }

    QLabel* Label1;
    TComComboBox* ComComboBox1;  // port names
    QLabel* Label2;
    TComComboBox* ComComboBox2;  // baud rates
    QPushButton* OKBtn;
    QPushButton* CancelBtn;

  protected:
    void showEvent(QShowEvent* e) override;

  private:
    std::optional<EComPort> portListError;
};

}  // namespace tamberline
