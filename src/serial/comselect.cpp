#include "serial/comselect.h"

#include <cctype>

#include "serial/portlist.h"

namespace tamberline {

namespace {

bool SameIgnoringCase(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

std::vector<std::string> BaudRateItems() {
    std::vector<std::string> items;
    for (int r = brCustom; r <= br256000; ++r)
        items.push_back(BaudRateName(static_cast<TBaudRate>(r)));
    return items;
}

}  // namespace

const std::vector<std::string>& TComSelect::FixedItems(TComProperty p) {
    static const std::vector<std::string> none;
    static const std::vector<std::string> rates = BaudRateItems();
    static const std::vector<std::string> dataBits = {"5", "6", "7", "8"};
    static const std::vector<std::string> stopBits = {"1", "1.5", "2"};
    static const std::vector<std::string> parity = {"None", "Odd", "Even", "Mark", "Space"};
    static const std::vector<std::string> flow = {"Hardware", "Software", "None", "Custom"};
    switch (p) {
        case cpBaudRate:
            return rates;
        case cpDataBits:
            return dataBits;
        case cpStopBits:
            return stopBits;
        case cpParity:
            return parity;
        case cpFlowControl:
            return flow;
        default:
            return none;
    }
}

TComSelect::TComSelect() : PortLister(ListPortNames) {}

TComSelect::~TComSelect() {
    if (Port) Port->RemoveDestroyListener(this);
}

void TComSelect::SetComProperty(TComProperty p) {
    Property = p;
    ItemList.clear();
    Index = -1;
    try {
        if (p == cpPort)
            PortLister(ItemList);
        else
            ItemList = FixedItems(p);
    } catch (...) {
        // A failed port list leaves no half-read names behind; the caller reports the error.
        ItemList.clear();
        if (OnItemsChanged) OnItemsChanged();
        throw;
    }
    if (!ItemList.empty()) {
        if (Port)
            RefreshSelection();
        else
            Index = 0;
    }
    if (OnItemsChanged) OnItemsChanged();
}

void TComSelect::SetComPort(TCustomComPort* port) {
    if (port == Port) return;
    if (Port) Port->RemoveDestroyListener(this);
    Port = port;
    if (!Port) return;
    Port->AddDestroyListener(this, [this] { Unbind(); });
    RefreshSelection();
}

void TComSelect::Unbind() {
    Port = nullptr;
    if (!ItemList.empty()) SetIndexQuiet(0);
}

void TComSelect::SetIndexQuiet(int index) {
    Index = index;
    if (OnIndexChanged) OnIndexChanged();
}

void TComSelect::SetItemIndex(int index) {
    if (index < -1 || index >= static_cast<int>(ItemList.size())) index = -1;
    SetIndexQuiet(index);
}

std::string TComSelect::Text() const {
    return Index >= 0 ? ItemList[Index] : std::string();
}

int TComSelect::FindItem(const std::string& text) const {
    for (size_t i = 0; i < ItemList.size(); ++i)
        if (SameIgnoringCase(ItemList[i], text)) return static_cast<int>(i);
    // "ttyS0" on the port and the listed "/dev/ttyS0" are one device.
    if (Property == cpPort && !text.empty())
        for (size_t i = 0; i < ItemList.size(); ++i)
            if (ComDevicePath(ItemList[i]) == ComDevicePath(text)) return static_cast<int>(i);
    return -1;
}

void TComSelect::SetText(const std::string& text) {
    const int i = FindItem(text);
    if (i >= 0) SetIndexQuiet(i);
}

void TComSelect::Remember(const std::string& text) {
    const auto& fixed = FixedItems(Property);
    const int i = [&] {
        for (size_t k = 0; k < fixed.size(); ++k)
            if (SameIgnoringCase(fixed[k], text)) return static_cast<int>(k);
        return -1;
    }();
    switch (Property) {
        case cpNone:
            return;
        case cpPort:
            PortName = text;
            break;
        case cpBaudRate:
            Rate = BaudRateFromName(text);
            break;
        case cpDataBits:
            if (i < 0) return;
            DataBits = static_cast<TDataBits>(i);
            break;
        case cpStopBits:
            if (i < 0) return;
            StopBits = static_cast<TStopBits>(i);
            break;
        case cpParity:
            if (i < 0) return;
            Parity = static_cast<TParityBits>(i);
            break;
        case cpFlowControl:
            if (i < 0) return;
            Flow = static_cast<TFlowControl>(i);
            break;
    }
    Remembered[Property] = true;
}

std::string TComSelect::PortValueText() const {
    switch (Property) {
        case cpPort:
            return Port->Port();
        case cpBaudRate:
            return BaudRateName(Port->BaudRate());
        case cpDataBits:
            return FixedItems(cpDataBits)[Port->DataBits()];
        case cpStopBits:
            return FixedItems(cpStopBits)[Port->StopBits()];
        case cpParity:
            return FixedItems(cpParity)[Port->Parity().Bits()];
        case cpFlowControl:
            return FixedItems(cpFlowControl)[Port->FlowControl().FlowControl()];
        default:
            return std::string();
    }
}

void TComSelect::RefreshSelection() {
    if (!Port) return;
    const int i = FindItem(PortValueText());
    // The item's own spelling is remembered, so "Com1" on the port selects and applies "COM1".
    if (i >= 0) Remember(ItemList[i]);
    SetIndexQuiet(i);
}

void TComSelect::Pick(int index) {
    SetItemIndex(index);
    if (Index < 0) return;
    Remember(Text());
    if (AutoApply) ApplySelection();
    if (OnChange) OnChange();
}

void TComSelect::ApplySelection() {
    if (!Port || Property == cpNone || !Remembered[Property]) return;
    switch (Property) {
        case cpPort:
            // Another spelling of the open device would reopen it under the new name for nothing.
            if (ComDevicePath(PortName) != ComDevicePath(Port->Port())) Port->SetPort(PortName);
            break;
        case cpBaudRate:
            Port->SetBaudRate(Rate);
            break;
        case cpDataBits:
            Port->SetDataBits(DataBits);
            break;
        case cpStopBits:
            Port->SetStopBits(StopBits);
            break;
        case cpParity:
            Port->Parity().SetBits(Parity);
            break;
        case cpFlowControl:
            Port->FlowControl().SetFlowControl(Flow);
            break;
        default:
            break;
    }
}

}  // namespace tamberline
