// Drop-down list (pick only) bound to one property of a serial port; the selection logic
// lives in TComSelect, this widget mirrors its items and selected index.
#pragma once

#include <QComboBox>

#include "serial/comselect.h"

namespace tamberline {

class TComComboBox : public QComboBox {
    Q_OBJECT
  public:
    explicit TComComboBox(QWidget* parent = nullptr);

    // Source of the port names for cpPort (the machine's list unless replaced).
    void SetPortLister(std::function<void(std::vector<std::string>&)> lister) { Select.PortLister = std::move(lister); }
    void SetComProperty(TComProperty p) { Select.SetComProperty(p); }  // port list may throw EComPort 23
    TComProperty ComProperty() const { return Select.ComProperty(); }
    void SetComPort(TCustomComPort* port) { Select.SetComPort(port); }
    TCustomComPort* ComPort() const { return Select.ComPort(); }
    void SetAutoApply(bool on) { Select.AutoApply = on; }
    bool AutoApply() const { return Select.AutoApply; }
    std::string Text() const { return Select.Text(); }
    void SetText(const std::string& text) { Select.SetText(text); }
    int ItemIndex() const { return Select.ItemIndex(); }
    void SetItemIndex(int index) { Select.SetItemIndex(index); }
    void ApplySelection() { Select.ApplySelection(); }
    void RefreshSelection() { Select.RefreshSelection(); }
    const TComSelect& Selection() const { return Select; }

  signals:
    void Changed();  // after the user's pick has been remembered (and applied with AutoApply)

  private:
    void FillFromModel();
    void ShowModelIndex();

    TComSelect Select;
    bool Syncing = false;  // the widget is being set from the model: not a user action
};

}  // namespace tamberline
