#include "ui/dlg_comset.h"

#include <QLabel>
#include <QPushButton>
#include <algorithm>

#include "serial/portlist.h"
#include "ui/dialog_actions.h"
#include "ui/text_room.h"

namespace tamberline {

TDlgComSet::TDlgComSet(TCustomComPort& port, QWidget* parent) : TDlgComSet(port, ListPortNames, parent) {}

TDlgComSet::TDlgComSet(TCustomComPort& port, std::function<void(std::vector<std::string>&)> portLister, QWidget* parent)
    : QDialog(parent) {
    // Wider than the classic 210 px: device paths such as /dev/ttyUSB0 must fit the closed box.
    SetupDialogFrame(*this, "Настройка COM порта");

    Label1 = new QLabel(QStringLiteral("Порт"), this);
    Label1->move(16, 12);
    Label1->adjustSize();
    Label2 = new QLabel(QStringLiteral("Скорость (бит/с)"), this);
    Label2->move(16, 44);
    Label2->adjustSize();
    // The lists stand right of the longer caption.
    const int listX = std::max(120, std::max(Label1->x() + Label1->width(), Label2->x() + Label2->width()) + 8);
    ComComboBox1 = new TComComboBox(this);
    ComComboBox1->setGeometry(listX, 8, 113, 21);
    ComComboBox2 = new TComComboBox(this);
    ComComboBox2->setGeometry(listX, 40, 113, 21);
    OKBtn = new QPushButton(QStringLiteral("OK"), this);
    OKBtn->setDefault(true);
    OKBtn->setGeometry(36, 78, PushButtonWidth(OKBtn, 75), 25);
    CancelBtn = new QPushButton(QStringLiteral("Cancel"), this);
    CancelBtn->setGeometry(140 + OKBtn->width() - 75, 78, PushButtonWidth(CancelBtn, 75), 25);
    FitDialog(*this, 250, 114);
    connect(OKBtn, &QPushButton::clicked, this, &QDialog::accept);
    connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);
    setTabOrder(ComComboBox1, ComComboBox2);
    setTabOrder(ComComboBox2, OKBtn);
    setTabOrder(OKBtn, CancelBtn);

    ComComboBox1->SetPortLister(std::move(portLister));
    try {
        ComComboBox1->SetComProperty(cpPort);
    } catch (const EComPort& e) {
        portListError = e;
    }
    if (ComComboBox1->count() > 0) ComComboBox1->SetItemIndex(0);
    ComComboBox2->SetComProperty(cpBaudRate);
    ComComboBox2->SetItemIndex(br38400);
    // Binding last makes both boxes show the port's name and rate as start-up left them.
    ComComboBox1->SetComPort(&port);
    ComComboBox2->SetComPort(&port);
}

void TDlgComSet::showEvent(QShowEvent* e) {
    QDialog::showEvent(e);
    CentreOnScreen(*this);
    CancelBtn->setFocus();
}

}  // namespace tamberline
