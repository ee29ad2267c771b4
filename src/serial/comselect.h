// Selection logic of a drop-down list bound to one property of a serial port (the port name
// or the baud rate in the port dialog): its items, the value it remembers from the user's
// pick or from the port, and applying that value to the port. The widget mirrors Items and
// ItemIndex; this unit holds no toolkit code.
#pragma once

#include <array>
#include <functional>
#include <string>
#include <vector>

#include "serial/comport.h"

namespace tamberline {

enum TComProperty { cpNone, cpPort, cpBaudRate, cpDataBits, cpStopBits, cpParity, cpFlowControl };

class TComSelect {
  public:
    TComSelect();
    ~TComSelect();
    TComSelect(const TComSelect&) = delete;
    TComSelect& operator=(const TComSelect&) = delete;

    // Fills the items (the port list may throw EComPort 23; the items then stay empty),
    // then selects the bound port's value, or item 0 without a port.
    void SetComProperty(TComProperty p);
    TComProperty ComProperty() const { return Property; }

    // Not owned; the binding is dropped when the port is destroyed.
    void SetComPort(TCustomComPort* port);
    TCustomComPort* ComPort() const { return Port; }

    bool AutoApply = false;

    const std::vector<std::string>& Items() const { return ItemList; }
    int ItemIndex() const { return Index; }
    // Selection by program: never changes the remembered value.
    void SetItemIndex(int index);
    std::string Text() const;               // selected item's text, empty with no selection
    void SetText(const std::string& text);  // first item equal ignoring case; none: no change

    // The user picked item `index`: remember it, apply it with AutoApply, then OnChange.
    void Pick(int index);
    void ApplySelection();    // remembered value onto the bound port
    void RefreshSelection();  // select the item of the bound port's current value

    // Remembered values.
    const std::string& SelectedPort() const { return PortName; }
    TBaudRate SelectedBaudRate() const { return Rate; }

    // The widget follows the model through these.
    std::function<void()> OnItemsChanged;  // Items replaced (ItemIndex changes too)
    std::function<void()> OnIndexChanged;
    std::function<void()> OnChange;  // after the user's pick

    // Source of the port names; replaceable for tests.
    std::function<void(std::vector<std::string>&)> PortLister;

    static const std::vector<std::string>& FixedItems(TComProperty p);

  private:
    void Remember(const std::string& text);
    std::string PortValueText() const;
    int FindItem(const std::string& text) const;
    void Unbind();
    void SetIndexQuiet(int index);

    TComProperty Property = cpNone;
    TCustomComPort* Port = nullptr;
    std::vector<std::string> ItemList;
    int Index = -1;
    std::string PortName;
    TBaudRate Rate = brCustom;
    TDataBits DataBits = dbFive;
    TStopBits StopBits = sbOneStopBit;
    TParityBits Parity = prNone;
    TFlowControl Flow = fcHardware;
    // Whether a value has been remembered for each property: applying nothing remembered
    // must leave the port alone (an empty name would close a working port).
    std::array<bool, 7> Remembered{};
};

}  // namespace tamberline
