// Serial port component: line configuration, open/close, blocking byte I/O and the
// receive-event delivery to the UI thread. Every OS call goes through TComBackend
// (backend.h), one implementation file per OS.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace tamberline {

enum TBaudRate {
    brCustom,
    br110,
    br300,
    br600,
    br1200,
    br2400,
    br4800,
    br9600,
    br14400,
    br19200,
    br38400,
    br56000,
    br57600,
    br115200,
    br128000,
    br256000
};
enum TStopBits { sbOneStopBit, sbOne5StopBits, sbTwoStopBits };
enum TDataBits { dbFive, dbSix, dbSeven, dbEight };
enum TParityBits { prNone, prOdd, prEven, prMark, prSpace };
enum TDTRFlowControl { dtrDisable, dtrEnable, dtrHandshake };
enum TRTSFlowControl { rtsDisable, rtsEnable, rtsHandshake, rtsToggle };
enum TFlowControl { fcHardware, fcSoftware, fcNone, fcCustom };
enum TComEvent { evRxChar, evTxEmpty, evRxFlag, evRing, evBreak, evCTS, evDSR, evError, evRLSD, evRx80Full };
enum TSyncMethod { smThreadSync, smWindowSync, smNone };

// Set of TComEvent: bit n stands for event n.
using TComEvents = uint16_t;
constexpr TComEvents ComEventBit(TComEvent e) {
    return static_cast<TComEvents>(1u << e);
}
constexpr TComEvents AllComEvents = 0x3FF;

std::string BaudRateName(TBaudRate rate);
TBaudRate BaudRateFromName(const std::string& name);  // no match gives br9600

// The device that a port name opens. Two names are the same port when these agree, whatever
// their spelling ("ttyS0" and "/dev/ttyS0"; on Windows "Com1" and "COM1").
std::string ComDevicePath(const std::string& name);

// Monotonic instant (CLOCK_MONOTONIC on Linux) used for receive-event time stamps.
using TMonoTime = std::chrono::steady_clock::time_point;

class EComPort : public std::runtime_error {
  public:
    // winCode -1: no system code, the message is the table text alone.
    EComPort(int code, int winCode = -1);
    int Code;
    int WinCode;
};

class TCustomComPort;
using TNotifyEvent = std::function<void(TCustomComPort& sender)>;
using TRxCharEvent = std::function<void(TCustomComPort& sender, int count)>;
using TComSignalEvent = std::function<void(TCustomComPort& sender, bool on)>;

// The block the driver takes for the line settings; same layout of meaning on every OS.
struct TDcb {
    uint32_t DCBlength = 0;
    uint32_t BaudRate = 0;
    uint32_t Flags = 0;  // fBinary 0x0001, fParity 0x0002, ... fRtsControl mask 0x3000
    uint16_t XonLim = 0;
    uint16_t XoffLim = 0;
    uint8_t ByteSize = 0;
    uint8_t Parity = 0;
    uint8_t StopBits = 0;
    uint8_t XonChar = 0;
    uint8_t XoffChar = 0;
    uint8_t ErrorChar = 0;
    uint8_t EofChar = 0;
    uint8_t EvtChar = 0;
    bool operator==(const TDcb&) const = default;
};

struct TModemSignals {
    bool CTS = false, DSR = false, Ring = false, RLSD = false;
};

// The driver's timeout record, field for field; -1 stands for the all-ones value.
struct TCommTimeouts {
    int32_t ReadIntervalTimeout = -1;
    int32_t ReadTotalTimeoutMultiplier = 0;
    int32_t ReadTotalTimeoutConstant = 0;
    int32_t WriteTotalTimeoutMultiplier = 0;
    int32_t WriteTotalTimeoutConstant = 0;
    bool operator==(const TCommTimeouts&) const = default;
};

class TComBackend;
class TComThread;
struct TDeliverySlot;

// The port a settings object belongs to. A copy of a settings object is a detached value: it must not
// re-apply anything to the original's port, so copying never carries the owner along.
struct TComOwnerRef {
    TCustomComPort* Port = nullptr;
    TComOwnerRef(TCustomComPort* p = nullptr) : Port(p) {}
    TComOwnerRef(const TComOwnerRef&) {}
    TComOwnerRef& operator=(const TComOwnerRef&) { return *this; }
    TCustomComPort* operator->() const { return Port; }
    explicit operator bool() const { return Port != nullptr; }
};

// Parity settings; every changing setter re-applies the line settings of an open port.
class TComParity {
  public:
    explicit TComParity(TCustomComPort* owner = nullptr) : owner_(owner) {}
    TComParity(const TComParity&) = default;
    TComParity& operator=(const TComParity& other);  // copies the values, keeps the owner, re-applies
    TParityBits Bits() const { return bits_; }
    void SetBits(TParityBits v);
    bool Check() const { return check_; }
    void SetCheck(bool v);
    bool Replace() const { return replace_; }
    void SetReplace(bool v);
    uint8_t ReplaceChar() const { return replaceChar_; }
    void SetReplaceChar(uint8_t v);

  private:
    void Changed();
    TComOwnerRef owner_;
    TParityBits bits_ = prNone;
    bool check_ = false;
    bool replace_ = false;
    uint8_t replaceChar_ = 0;
};

class TComFlowControl {
  public:
    explicit TComFlowControl(TCustomComPort* owner = nullptr) : owner_(owner) {}
    TComFlowControl(const TComFlowControl&) = default;
    TComFlowControl& operator=(const TComFlowControl& other);
    bool OutCTSFlow() const { return outCTSFlow_; }
    void SetOutCTSFlow(bool v);
    bool OutDSRFlow() const { return outDSRFlow_; }
    void SetOutDSRFlow(bool v);
    TDTRFlowControl ControlDTR() const { return controlDTR_; }
    void SetControlDTR(TDTRFlowControl v);
    TRTSFlowControl ControlRTS() const { return controlRTS_; }
    void SetControlRTS(TRTSFlowControl v);
    bool XonXoffOut() const { return xonXoffOut_; }
    void SetXonXoffOut(bool v);
    bool XonXoffIn() const { return xonXoffIn_; }
    void SetXonXoffIn(bool v);
    bool DSRSensitivity() const { return dsrSensitivity_; }
    void SetDSRSensitivity(bool v);
    bool TxContinueOnXoff() const { return txContinueOnXoff_; }
    void SetTxContinueOnXoff(bool v);
    uint8_t XonChar() const { return xonChar_; }
    void SetXonChar(uint8_t v);
    uint8_t XoffChar() const { return xoffChar_; }
    void SetXoffChar(uint8_t v);
    // Combined view; setting it always re-applies the line settings.
    TFlowControl FlowControl() const;
    void SetFlowControl(TFlowControl v);

  private:
    void Changed();
    TComOwnerRef owner_;
    bool outCTSFlow_ = false, outDSRFlow_ = false;
    TDTRFlowControl controlDTR_ = dtrDisable;
    TRTSFlowControl controlRTS_ = rtsDisable;
    bool xonXoffOut_ = false, xonXoffIn_ = false, dsrSensitivity_ = false, txContinueOnXoff_ = false;
    uint8_t xonChar_ = 17, xoffChar_ = 19;
};

// Timeouts in ms (multipliers in ms per byte); -1 is the all-ones value.
class TComTimeouts {
  public:
    explicit TComTimeouts(TCustomComPort* owner = nullptr) : owner_(owner) {}
    TComTimeouts(const TComTimeouts&) = default;
    TComTimeouts& operator=(const TComTimeouts& other);
    int32_t ReadInterval() const { return t_.ReadIntervalTimeout; }
    void SetReadInterval(int32_t v);
    int32_t ReadTotalMultiplier() const { return t_.ReadTotalTimeoutMultiplier; }
    void SetReadTotalMultiplier(int32_t v);
    int32_t ReadTotalConstant() const { return t_.ReadTotalTimeoutConstant; }
    void SetReadTotalConstant(int32_t v);
    int32_t WriteTotalMultiplier() const { return t_.WriteTotalTimeoutMultiplier; }
    void SetWriteTotalMultiplier(int32_t v);
    int32_t WriteTotalConstant() const { return t_.WriteTotalTimeoutConstant; }
    void SetWriteTotalConstant(int32_t v);
    const TCommTimeouts& Record() const { return t_; }

  private:
    void Set(int32_t TCommTimeouts::*field, int32_t v);
    TComOwnerRef owner_;
    TCommTimeouts t_{-1, 0, 0, 100, 1000};
};

// Driver queue sizes in bytes; a positive odd size is stored one lower.
class TComBuffer {
  public:
    explicit TComBuffer(TCustomComPort* owner = nullptr) : owner_(owner) {}
    TComBuffer(const TComBuffer&) = default;
    TComBuffer& operator=(const TComBuffer& other);
    int32_t InputSize() const { return inputSize_; }
    void SetInputSize(int32_t v);
    int32_t OutputSize() const { return outputSize_; }
    void SetOutputSize(int32_t v);

  private:
    TComOwnerRef owner_;
    int32_t inputSize_ = 1024, outputSize_ = 1024;
};

class TCustomComPort {
  public:
    TCustomComPort();
    // Uses the given OS layer (tests pass fakes); null gives the platform's own.
    explicit TCustomComPort(std::unique_ptr<TComBackend> backend);
    TCustomComPort(const TCustomComPort&) = delete;
    TCustomComPort& operator=(const TCustomComPort&) = delete;
    virtual ~TCustomComPort();

    void Open();
    void Close();
    bool Connected() const { return connected_; }
    void SetConnected(bool v);

    const std::string& Port() const { return port_; }
    void SetPort(const std::string& v);  // "COM3" is \\.\COM3 on Windows; "ttyUSB0" is /dev/ttyUSB0 on POSIX
    TBaudRate BaudRate() const { return baudRate_; }
    void SetBaudRate(TBaudRate v);
    int32_t CustomBaudRate() const { return customBaudRate_; }
    void SetCustomBaudRate(int32_t v);
    TDataBits DataBits() const { return dataBits_; }
    void SetDataBits(TDataBits v);
    TStopBits StopBits() const { return stopBits_; }
    void SetStopBits(TStopBits v);
    bool DiscardNull() const { return discardNull_; }
    void SetDiscardNull(bool v);
    uint8_t EventChar() const { return eventChar_; }
    void SetEventChar(uint8_t v);
    TComParity& Parity() { return parity_; }
    TComFlowControl& FlowControl() { return flowControl_; }
    TComTimeouts& Timeouts() { return timeouts_; }
    TComBuffer& Buffer() { return buffer_; }
    const TComParity& Parity() const { return parity_; }
    const TComFlowControl& FlowControl() const { return flowControl_; }
    const TComTimeouts& Timeouts() const { return timeouts_; }
    const TComBuffer& Buffer() const { return buffer_; }
    void SetParity(const TComParity& v) { parity_ = v; }
    void SetFlowControl(const TComFlowControl& v) { flowControl_ = v; }
    void SetTimeouts(const TComTimeouts& v) { timeouts_ = v; }
    void SetBuffer(const TComBuffer& v) { buffer_ = v; }

    // Read once by Open: an open port keeps the mask it was opened with.
    TComEvents Events = AllComEvents;

    TSyncMethod SyncMethod() const { return syncMethod_; }
    void SetSyncMethod(TSyncMethod v);  // open port: EComPort 14

    void BeginUpdate();
    void EndUpdate();
    int UpdateCount() const { return updateCount_; }

    int Write(const void* buf, int count);  // blocking, EComPort 2
    int Read(void* buf, int count);         // completion by the timeouts, EComPort 3
    // Like Read, but gives up when waitMs pass with no byte; returns the bytes so far (maybe 0).
    int ReadWithin(void* buf, int count, int waitMs);
    int InputCount();                  // EComPort 10
    TModemSignals ReadModemSignals();  // EComPort 11
    TDcb BuildDcb() const;
    // When the event thread saw the bytes of the report now being handled.
    TMonoTime RxEventTime() const { return rxEventTime_; }
    // One character on the line at the present settings (start bit, data bits, parity bit, stop
    // bits): a byte is seen that long after the device began to send it. 260 µs at 38400 8N1.
    std::chrono::nanoseconds CharacterTime() const;
    // True once the open device went away (hang-up, unplugged, node removed): only Close helps then.
    bool DeviceGone() const;

    TRxCharEvent OnRxChar;
    TNotifyEvent OnAfterOpen, OnAfterClose, OnBeforeOpen, OnBeforeClose, OnTxEmpty, OnBreak, OnRing, OnRxFlag,
        OnRx80Full;
    TComSignalEvent OnCTSChange, OnDSRChange, OnRLSDChange;
    std::function<void(TCustomComPort&, unsigned errors)> OnError;

    // Told when the port is destroyed (bound combo boxes unbind).
    void AddDestroyListener(const void* key, std::function<void()> fn);
    void RemoveDestroyListener(const void* key);

    // Runs the event steps of one report on the calling (UI) thread; used by the event thread's delivery.
    // True when the receive handler took bytes and more wait: the caller delivers evRxChar again.
    bool HandleEvents(TComEvents events, TMonoTime seenAt);

  protected:
    virtual void OpenDevice();
    virtual void CloseDevice();
    virtual void ApplyAllSettings();
    virtual void ApplyLineSettings();
    virtual void ApplyTimeouts();
    virtual void ApplyQueueSizes();
    virtual void DoEvent(TComEvent kind);

  private:
    friend class TComParity;
    friend class TComFlowControl;
    friend class TComTimeouts;
    friend class TComBuffer;
    bool CanApply() const { return connected_ && updateCount_ == 0; }
    void CloseImpl(bool fromDestructor);
    void StartThread();
    void StopThread();
    int ReadImpl(void* buf, int count, int giveUpMs);
    [[noreturn]] void Fail(int code, int systemError);  // EComPort; notes a device that went away
    template <class T>
    void SetLineValue(T& field, T v);

    std::unique_ptr<TComBackend> backend_;
    std::string port_ = "COM1";
    TBaudRate baudRate_ = br9600;
    int32_t customBaudRate_ = 9600;
    TDataBits dataBits_ = dbEight;
    TStopBits stopBits_ = sbOneStopBit;
    bool discardNull_ = false;
    uint8_t eventChar_ = 0;
    TComParity parity_{this};
    TComFlowControl flowControl_{this};
    TComTimeouts timeouts_{this};
    TComBuffer buffer_{this};
    TSyncMethod syncMethod_ = smThreadSync;
    bool connected_ = false;
    int updateCount_ = 0;
    TMonoTime rxEventTime_{};
    bool rxAgain_ = false;
    bool ioGone_ = false;  // a read or write found the device gone
    std::unique_ptr<TComThread> thread_;
    std::vector<std::pair<const void*, std::function<void()>>> destroyListeners_;
};

class TComPort : public TCustomComPort {
  public:
    using TCustomComPort::TCustomComPort;
};

}  // namespace tamberline
