// Period dialog of the scheduled PC clock synchronisation. It steps the live period
// (the tick uses it at once); Cancel, Esc and the title-bar close all restore the value it
// had when the dialog was shown.
#pragma once

#include <QDialog>
#include <cstdint>

class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace tamberline {

class TSpinButton;

class TDlgSelectSyncroTime : public QDialog {
    Q_OBJECT
  public:
    TDlgSelectSyncroTime(uint8_t& syncroHours, QWidget* parent = nullptr);

    uint8_t SyncroHours() const { return Hours; }

    void FormActivate();
    void sbHoursUpClick();
    void sbHoursDownClick();
    void CancelBtnClick();
    void reject() override;  // every way out but OK

    QGroupBox* GroupBox1;
    QLabel* Label1;
    QLineEdit* edHours;
    TSpinButton* sbHours;
    QLabel* Label2;
    QPushButton* OKBtn;
    QPushButton* CancelBtn;

  protected:
    void showEvent(QShowEvent* e) override;
    bool event(QEvent* e) override;

  private:
    void ShowPeriod();

    uint8_t& Hours;
    uint8_t SyncroHoursSaved = 0;  // h, value to return to on cancel
};

}  // namespace tamberline
