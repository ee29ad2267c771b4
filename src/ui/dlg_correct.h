// Receiver correction dialog: whole seconds -29..+30 added to the zone offset to make up
// for the satellite receiver's error. The arrows work only while the check box is ticked,
// so the value cannot be changed by a stray click.
#pragma once

#include <QDialog>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace tamberline {

class TSpinButton;

class TDlgCorrect : public QDialog {
    Q_OBJECT
  public:
    explicit TDlgCorrect(QWidget* parent = nullptr);

    int CorrSeconds = 0;  // s, set by the opener before showing

    void FormShow();
    void sbSecUpClick();
    void sbSecDownClick();

    QLabel* Label1;
    QLabel* Label2;
    QLabel* Label3;
    QCheckBox* chbEnable;
    QLineEdit* edSec;
    TSpinButton* sbSec;
    QPushButton* OKBtn;
    QPushButton* CancelBtn;

  protected:
    void showEvent(QShowEvent* e) override;

  private:
    void ShowSeconds();
};

}  // namespace tamberline
