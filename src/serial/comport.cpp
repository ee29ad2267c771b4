// Open/close, setters and blocking I/O of the port component; OS calls go through TComBackend.
#include "serial/comport.h"

#include "serial/backend.h"
#include "serial/comthread.h"
#include "serial/delivery.h"

namespace tamberline {
namespace {

constexpr uint32_t kBaudNumbers[] = {0,     110,   300,   600,   1200,  2400,   4800,   9600,
                                     14400, 19200, 38400, 56000, 57600, 115200, 128000, 256000};

// The order in which the kinds of one report are handed over.
constexpr TComEvent kDeliveryOrder[] = {evError, evRxChar, evTxEmpty, evBreak, evRing,
                                        evCTS,   evDSR,    evRxFlag,  evRLSD,  evRx80Full};

}  // namespace

std::string ComDevicePath(const std::string& name) {
    return PlatformDeviceKey(name);
}

TCustomComPort::TCustomComPort() : TCustomComPort(nullptr) {}

TCustomComPort::TCustomComPort(std::unique_ptr<TComBackend> backend)
    : backend_(backend ? std::move(backend) : CreatePlatformComBackend()) {}

TCustomComPort::~TCustomComPort() {
    try {
        CloseImpl(true);
    } catch (const std::exception& e) {
        // A destructor cannot pass the error on; the device is released regardless.
        HandleApplicationError(e);
        thread_.reset();
        backend_->CloseDevice();
        connected_ = false;
    }
    auto listeners = destroyListeners_;
    for (auto& [key, fn] : listeners)
        if (fn) fn();
}

void TCustomComPort::AddDestroyListener(const void* key, std::function<void()> fn) {
    RemoveDestroyListener(key);
    destroyListeners_.emplace_back(key, std::move(fn));
}

void TCustomComPort::RemoveDestroyListener(const void* key) {
    std::erase_if(destroyListeners_, [key](const auto& p) { return p.first == key; });
}

// ---- open / close

void TCustomComPort::Open() {
    if (connected_) return;
    if (OnBeforeOpen) OnBeforeOpen(*this);
    OpenDevice();
    connected_ = true;
    ioGone_ = false;
    try {
        ApplyAllSettings();
        if (Events != 0) StartThread();
    } catch (...) {
        // Leave the port closed with the device released, then let the caller see the error.
        thread_.reset();
        CloseDevice();
        connected_ = false;
        throw;
    }
    if (OnAfterOpen) OnAfterOpen(*this);
    // A pseudo-terminal has no modem lines, so they are read only when somebody listens to them.
    if (OnCTSChange) OnCTSChange(*this, ReadModemSignals().CTS);
    if (OnDSRChange) OnDSRChange(*this, ReadModemSignals().DSR);
    if (OnRLSDChange) OnRLSDChange(*this, ReadModemSignals().RLSD);
}

void TCustomComPort::Close() {
    CloseImpl(false);
}

void TCustomComPort::CloseImpl(bool fromDestructor) {
    if (!connected_) return;
    if (OnCTSChange) OnCTSChange(*this, false);
    if (OnDSRChange) OnDSRChange(*this, false);
    if (OnRLSDChange) OnRLSDChange(*this, false);
    if (OnBeforeClose) OnBeforeClose(*this);
    // The queues are emptied only once the thread has ended: a report it caught while stopping is
    // handled in StopThread and must still find its bytes.
    StopThread();
    const int e = backend_->Purge();
    // A device that has gone away can only be released; refusing would leave it open for good.
    if (e != 0 && !IsDeviceGoneError(e) && !fromDestructor) {
        if (Events != 0) StartThread();  // open as before, with its event delivery
        throw EComPort(5, e);
    }
    CloseDevice();
    connected_ = false;
    if (OnAfterClose) OnAfterClose(*this);
}

void TCustomComPort::SetConnected(bool v) {
    if (v)
        Open();
    else
        Close();
}

void TCustomComPort::OpenDevice() {
    const int e = backend_->OpenDevice(PlatformDevicePath(port_));
    if (e != 0) throw EComPort(1, e);
}

void TCustomComPort::CloseDevice() {
    backend_->CloseDevice();
}

void TCustomComPort::StartThread() {
    thread_ = std::make_unique<TComThread>(*this, *backend_, Events, syncMethod_);
}

void TCustomComPort::StopThread() {
    thread_.reset();
}

// ---- settings

void TCustomComPort::ApplyAllSettings() {
    ApplyQueueSizes();
    ApplyLineSettings();
    ApplyTimeouts();
}

void TCustomComPort::ApplyLineSettings() {
    if (!CanApply()) return;
    const int e = backend_->SetLine(BuildDcb());
    if (e != 0) throw EComPort(7, e);
}

void TCustomComPort::ApplyTimeouts() {
    if (!CanApply()) return;
    const int e = backend_->SetTimeouts(timeouts_.Record());
    if (e != 0) throw EComPort(8, e);
}

void TCustomComPort::ApplyQueueSizes() {
    if (!CanApply()) return;
    const int e = backend_->SetQueueSizes(buffer_.InputSize(), buffer_.OutputSize());
    if (e != 0) throw EComPort(9, e);
}

template <class T>
void TCustomComPort::SetLineValue(T& field, T v) {
    if (field == v) return;
    field = v;
    ApplyLineSettings();
}

void TCustomComPort::SetPort(const std::string& v) {
    if (v == port_) return;
    port_ = v;
    if (connected_) {
        Close();
        Open();
    }
}

void TCustomComPort::SetBaudRate(TBaudRate v) {
    SetLineValue(baudRate_, v);
}
void TCustomComPort::SetCustomBaudRate(int32_t v) {
    SetLineValue(customBaudRate_, v);
}
void TCustomComPort::SetDataBits(TDataBits v) {
    SetLineValue(dataBits_, v);
}
void TCustomComPort::SetStopBits(TStopBits v) {
    SetLineValue(stopBits_, v);
}
void TCustomComPort::SetDiscardNull(bool v) {
    SetLineValue(discardNull_, v);
}
void TCustomComPort::SetEventChar(uint8_t v) {
    SetLineValue(eventChar_, v);
}

void TCustomComPort::SetSyncMethod(TSyncMethod v) {
    if (v == syncMethod_) return;
    if (connected_) throw EComPort(14);
    syncMethod_ = v;
}

void TCustomComPort::BeginUpdate() {
    ++updateCount_;
}

void TCustomComPort::EndUpdate() {
    if (updateCount_ == 0) return;
    if (--updateCount_ == 0) ApplyAllSettings();
}

TDcb TCustomComPort::BuildDcb() const {
    TDcb d;
    d.DCBlength = 28;
    d.BaudRate =
        baudRate_ == brCustom ? static_cast<uint32_t>(customBaudRate_) : kBaudNumbers[static_cast<size_t>(baudRate_)];
    const bool errorChar = parity_.Check() && parity_.Replace();
    uint32_t f = 0x0001;
    if (parity_.Check()) f |= 0x0002;
    if (flowControl_.OutCTSFlow()) f |= 0x0004;
    if (flowControl_.OutDSRFlow()) f |= 0x0008;
    f |= static_cast<uint32_t>(flowControl_.ControlDTR()) << 4;
    if (flowControl_.DSRSensitivity()) f |= 0x0040;
    if (flowControl_.TxContinueOnXoff()) f |= 0x0080;
    if (flowControl_.XonXoffOut()) f |= 0x0100;
    if (flowControl_.XonXoffIn()) f |= 0x0200;
    if (errorChar) f |= 0x0400;
    if (discardNull_) f |= 0x0800;
    f |= static_cast<uint32_t>(flowControl_.ControlRTS()) << 12;
    d.Flags = f;
    d.XonLim = d.XoffLim = static_cast<uint16_t>(buffer_.InputSize() / 4);
    d.ByteSize = static_cast<uint8_t>(5 + static_cast<int>(dataBits_));
    d.Parity = static_cast<uint8_t>(parity_.Bits());
    d.StopBits = static_cast<uint8_t>(stopBits_);
    d.XonChar = flowControl_.XonChar();
    d.XoffChar = flowControl_.XoffChar();
    d.ErrorChar = errorChar ? parity_.ReplaceChar() : 0;
    d.EvtChar = eventChar_;
    return d;
}

std::chrono::nanoseconds TCustomComPort::CharacterTime() const {
    const uint64_t rate = BuildDcb().BaudRate;
    if (rate == 0) return {};
    // Counted in half bits, for the one and a half stop bits.
    static constexpr uint64_t kStopHalfBits[] = {2, 3, 4};
    const uint64_t halfBits = 2 * (1 + 5 + static_cast<uint64_t>(dataBits_)) + (parity_.Bits() == prNone ? 0 : 2) +
                              kStopHalfBits[static_cast<size_t>(stopBits_)];
    return std::chrono::nanoseconds(halfBits * 1'000'000'000ULL / (2 * rate));
}

// ---- I/O

int TCustomComPort::Write(const void* buf, int count) {
    if (!connected_) throw EComPort(2, NotOpenError());
    if (count <= 0) return 0;
    int done = 0;
    const int e = backend_->Write(buf, count, done);
    if (e != 0) Fail(2, e);
    return done;
}

int TCustomComPort::Read(void* buf, int count) {
    return ReadImpl(buf, count, -1);
}

int TCustomComPort::ReadWithin(void* buf, int count, int waitMs) {
    return ReadImpl(buf, count, waitMs < 0 ? 0 : waitMs);
}

int TCustomComPort::ReadImpl(void* buf, int count, int giveUpMs) {
    if (!connected_) throw EComPort(3, NotOpenError());
    if (count <= 0) return 0;
    int got = 0;
    const int e = backend_->Read(buf, count, giveUpMs, got);
    if (e != 0) Fail(3, e);
    // The queue status is asked once after every read. When bytes were read, a failure here (typically
    // the device hanging up just after) must not throw them away: the next call reports it.
    int waiting = 0;
    const int statusError = backend_->InputCount(waiting);
    if (statusError != 0 && got == 0) Fail(10, statusError);
    return got;
}

int TCustomComPort::InputCount() {
    int n = 0;
    const int e = connected_ ? backend_->InputCount(n) : NotOpenError();
    if (e != 0) Fail(10, e);
    return n;
}

void TCustomComPort::Fail(int code, int systemError) {
    if (connected_ && IsDeviceGoneError(systemError)) ioGone_ = true;
    throw EComPort(code, systemError);
}

bool TCustomComPort::DeviceGone() const {
    return connected_ && (ioGone_ || (thread_ && thread_->DeviceGone()));
}

TModemSignals TCustomComPort::ReadModemSignals() {
    TModemSignals s;
    const int e = connected_ ? backend_->ModemStatus(s) : NotOpenError();
    if (e != 0) throw EComPort(11, e);
    return s;
}

// ---- event delivery (UI thread)

bool TCustomComPort::HandleEvents(TComEvents events, TMonoTime seenAt) {
    rxEventTime_ = seenAt;
    rxAgain_ = false;
    for (TComEvent kind : kDeliveryOrder) {
        if (!(events & ComEventBit(kind)) || !connected_) continue;
        try {
            DoEvent(kind);
        } catch (const EComPort& e) {
            // A device that went away is the link watch's news, not an error box per frame.
            if (!DeviceGone()) HandleApplicationError(e);
        } catch (const std::exception& e) {
            HandleApplicationError(e);
        }
    }
    return rxAgain_ && connected_;
}

void TCustomComPort::DoEvent(TComEvent kind) {
    auto notify = [this](const TNotifyEvent& h) {
        if (h) h(*this);
    };
    switch (kind) {
        case evRxChar: {
            const int count = InputCount();
            if (count <= 0 || !OnRxChar) break;
            OnRxChar(*this, count);
            // The handler takes one frame per event, and the next report comes only with new bytes:
            // without another delivery whatever stays queued would keep the reader behind for good. A
            // handler that took nothing gets no second call, so unread bytes cannot keep us busy.
            if (connected_) {
                const int left = InputCount();
                rxAgain_ = left > 0 && left < count;
            }
            break;
        }
        case evTxEmpty:
            notify(OnTxEmpty);
            break;
        case evRxFlag:
            notify(OnRxFlag);
            break;
        case evRing:
            notify(OnRing);
            break;
        case evBreak:
            notify(OnBreak);
            break;
        case evRx80Full:
            notify(OnRx80Full);
            break;
        case evCTS:
            if (OnCTSChange) OnCTSChange(*this, ReadModemSignals().CTS);
            break;
        case evDSR:
            if (OnDSRChange) OnDSRChange(*this, ReadModemSignals().DSR);
            break;
        case evRLSD:
            if (OnRLSDChange) OnRLSDChange(*this, ReadModemSignals().RLSD);
            break;
        case evError:
            // Line errors are not reported by the POSIX layer; there is nothing to raise.
            break;
    }
}

}  // namespace tamberline
