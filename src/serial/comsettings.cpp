// Settings objects of the port, the baud-rate names and the error class.
#include <array>
#include <cstdio>

#include "serial/comport.h"

namespace tamberline {
namespace {

constexpr std::array<const char*, 16> kBaudNames = {"Custom", "110",    "300",    "600",   "1200",  "2400",
                                                    "4800",   "9600",   "14400",  "19200", "38400", "56000",
                                                    "57600",  "115200", "128000", "256000"};

constexpr std::array<const char*, 23> kErrorTexts = {
    "Unable to open com port",
    "WriteFile function failed",
    "ReadFile function failed",
    "Invalid Async parameter",
    "PurgeComm function failed",
    "Unable to get async status",
    "SetCommState function failed",
    "SetCommTimeouts failed",
    "SetupComm function failed",
    "ClearCommError function failed",
    "GetCommModemStatus function failed",
    "EscapeCommFunction function failed",
    "TransmitCommChar function failed",
    "Cannot set property while connected",
    "EnumPorts function failed",
    "Failed to store settings",
    "Failed to load settings",
    "Link (un)registration failed",
    "Cannot change led state if ComPort is selected",
    "Cannot wait for event if event thread is created",
    "WaitForEvent method failed",
    "A component is linked to OnRxBuf event",
    "Registry error",
};

std::string AsciiUpper(std::string s) {
    for (char& c : s)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return s;
}

std::string ErrorMessage(int code, int winCode) {
    std::string text = (code >= 1 && code <= static_cast<int>(kErrorTexts.size()))
                           ? kErrorTexts[static_cast<size_t>(code - 1)]
                           : "Unknown com port error " + std::to_string(code);
    if (winCode != -1) text += " (win error code: " + std::to_string(winCode) + ")";
    return text;
}

}  // namespace

EComPort::EComPort(int code, int winCode)
    : std::runtime_error(ErrorMessage(code, winCode)), Code(code), WinCode(winCode) {}

std::string BaudRateName(TBaudRate rate) {
    const auto i = static_cast<size_t>(rate);
    return i < kBaudNames.size() ? kBaudNames[i] : "";
}

TBaudRate BaudRateFromName(const std::string& name) {
    const std::string wanted = AsciiUpper(name);
    for (size_t i = 0; i < kBaudNames.size(); ++i)
        if (AsciiUpper(kBaudNames[i]) == wanted) return static_cast<TBaudRate>(i);
    return br9600;
}

// ---- TComParity: every field belongs to the line settings.

TComParity& TComParity::operator=(const TComParity& other) {
    bits_ = other.bits_;
    check_ = other.check_;
    replace_ = other.replace_;
    replaceChar_ = other.replaceChar_;
    Changed();
    return *this;
}

void TComParity::Changed() {
    if (owner_) owner_->ApplyLineSettings();
}

#define TAMBERLINE_SETTER(Class, Name, Type, field) \
    void Class::Set##Name(Type v) {                 \
        if (field == v) return;                     \
        field = v;                                  \
        Changed();                                  \
    }

TAMBERLINE_SETTER(TComParity, Bits, TParityBits, bits_)
TAMBERLINE_SETTER(TComParity, Check, bool, check_)
TAMBERLINE_SETTER(TComParity, Replace, bool, replace_)
TAMBERLINE_SETTER(TComParity, ReplaceChar, uint8_t, replaceChar_)

// ---- TComFlowControl

TComFlowControl& TComFlowControl::operator=(const TComFlowControl& other) {
    outCTSFlow_ = other.outCTSFlow_;
    outDSRFlow_ = other.outDSRFlow_;
    controlDTR_ = other.controlDTR_;
    controlRTS_ = other.controlRTS_;
    xonXoffOut_ = other.xonXoffOut_;
    xonXoffIn_ = other.xonXoffIn_;
    dsrSensitivity_ = other.dsrSensitivity_;
    txContinueOnXoff_ = other.txContinueOnXoff_;
    xonChar_ = other.xonChar_;
    xoffChar_ = other.xoffChar_;
    Changed();
    return *this;
}

void TComFlowControl::Changed() {
    if (owner_) owner_->ApplyLineSettings();
}

TAMBERLINE_SETTER(TComFlowControl, OutCTSFlow, bool, outCTSFlow_)
TAMBERLINE_SETTER(TComFlowControl, OutDSRFlow, bool, outDSRFlow_)
TAMBERLINE_SETTER(TComFlowControl, ControlDTR, TDTRFlowControl, controlDTR_)
TAMBERLINE_SETTER(TComFlowControl, ControlRTS, TRTSFlowControl, controlRTS_)
TAMBERLINE_SETTER(TComFlowControl, XonXoffOut, bool, xonXoffOut_)
TAMBERLINE_SETTER(TComFlowControl, XonXoffIn, bool, xonXoffIn_)
TAMBERLINE_SETTER(TComFlowControl, DSRSensitivity, bool, dsrSensitivity_)
TAMBERLINE_SETTER(TComFlowControl, TxContinueOnXoff, bool, txContinueOnXoff_)
TAMBERLINE_SETTER(TComFlowControl, XonChar, uint8_t, xonChar_)
TAMBERLINE_SETTER(TComFlowControl, XoffChar, uint8_t, xoffChar_)

#undef TAMBERLINE_SETTER

TFlowControl TComFlowControl::FlowControl() const {
    if (controlRTS_ == rtsHandshake && outCTSFlow_ && !xonXoffIn_ && !xonXoffOut_) return fcHardware;
    if (controlRTS_ == rtsDisable && !outCTSFlow_ && xonXoffIn_ && xonXoffOut_) return fcSoftware;
    if (controlRTS_ != rtsDisable || outCTSFlow_ || xonXoffIn_ || xonXoffOut_) return fcCustom;
    return fcNone;
}

void TComFlowControl::SetFlowControl(TFlowControl v) {
    if (v != fcCustom) {
        controlRTS_ = rtsDisable;
        outCTSFlow_ = xonXoffIn_ = xonXoffOut_ = false;
    }
    if (v == fcHardware) {
        controlRTS_ = rtsHandshake;
        outCTSFlow_ = true;
    } else if (v == fcSoftware) {
        xonXoffIn_ = xonXoffOut_ = true;
    }
    Changed();
}

// ---- TComTimeouts

TComTimeouts& TComTimeouts::operator=(const TComTimeouts& other) {
    t_ = other.t_;
    if (owner_) owner_->ApplyTimeouts();
    return *this;
}

void TComTimeouts::Set(int32_t TCommTimeouts::*field, int32_t v) {
    if (t_.*field == v) return;
    t_.*field = v;
    if (owner_) owner_->ApplyTimeouts();
}

void TComTimeouts::SetReadInterval(int32_t v) {
    Set(&TCommTimeouts::ReadIntervalTimeout, v);
}
void TComTimeouts::SetReadTotalMultiplier(int32_t v) {
    Set(&TCommTimeouts::ReadTotalTimeoutMultiplier, v);
}
void TComTimeouts::SetReadTotalConstant(int32_t v) {
    Set(&TCommTimeouts::ReadTotalTimeoutConstant, v);
}
void TComTimeouts::SetWriteTotalMultiplier(int32_t v) {
    Set(&TCommTimeouts::WriteTotalTimeoutMultiplier, v);
}
void TComTimeouts::SetWriteTotalConstant(int32_t v) {
    Set(&TCommTimeouts::WriteTotalTimeoutConstant, v);
}

// ---- TComBuffer: the driver wants even queue sizes.

namespace {
int32_t EvenSize(int32_t v) {
    return (v > 0 && v % 2 == 1) ? v - 1 : v;
}
}  // namespace

TComBuffer& TComBuffer::operator=(const TComBuffer& other) {
    inputSize_ = EvenSize(other.inputSize_);
    outputSize_ = EvenSize(other.outputSize_);
    if (owner_) owner_->ApplyQueueSizes();
    return *this;
}

void TComBuffer::SetInputSize(int32_t v) {
    if (v == inputSize_) return;
    inputSize_ = EvenSize(v);
    if (owner_) owner_->ApplyQueueSizes();
}

void TComBuffer::SetOutputSize(int32_t v) {
    if (v == outputSize_) return;
    outputSize_ = EvenSize(v);
    if (owner_) owner_->ApplyQueueSizes();
}

}  // namespace tamberline
