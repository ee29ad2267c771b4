// Windows serial layer: the device opened in overlapped mode, so the event thread's WaitCommEvent and
// the UI thread's reads and writes can be outstanding together. Every function returns 0 or the
// GetLastError() code.
#include <windows.h>

#include <atomic>
#include <memory>

#include "serial/backend.h"
#include "serial/wide_text.h"

namespace tamberline {
namespace {

// An overlapped record with its own manual-reset event, one per operation, so no lock is needed.
class TOverlapped {
  public:
    TOverlapped() { Ov.hEvent = CreateEventW(nullptr, TRUE, TRUE, nullptr); }
    ~TOverlapped() {
        if (Ov.hEvent) CloseHandle(Ov.hEvent);
    }
    TOverlapped(const TOverlapped&) = delete;
    TOverlapped& operator=(const TOverlapped&) = delete;
    bool Ok() const { return Ov.hEvent != nullptr; }
    OVERLAPPED Ov{};
};

// Waits for an operation that went pending; giveUpMs >= 0 cancels it after that long and keeps what
// it had transferred by then. Returns 0 or the system code; `done` gets the bytes either way.
int Finish(HANDLE h, TOverlapped& op, int giveUpMs, DWORD& done) {
    const DWORD w = WaitForSingleObject(op.Ov.hEvent, giveUpMs < 0 ? INFINITE : static_cast<DWORD>(giveUpMs));
    if (w == WAIT_TIMEOUT) CancelIoEx(h, &op.Ov);  // completes at once: the read has no data in flight
    if (w != WAIT_OBJECT_0 && w != WAIT_TIMEOUT) {
        const int e = static_cast<int>(GetLastError());
        CancelIoEx(h, &op.Ov);
        GetOverlappedResult(h, &op.Ov, &done, TRUE);  // the record must outlive the operation
        return e;
    }
    if (GetOverlappedResult(h, &op.Ov, &done, w == WAIT_TIMEOUT)) return 0;
    const DWORD e = GetLastError();
    return (w == WAIT_TIMEOUT && e == ERROR_OPERATION_ABORTED) ? 0 : static_cast<int>(e);
}

class TWin32EventWaiter : public TComEventWaiter {
  public:
    // takes: counts the backend's reads and purges, the only ways bytes leave the input queue.
    TWin32EventWaiter(HANDLE device, HANDLE stop, HANDLE wake, std::shared_ptr<const std::atomic<unsigned>> takes)
        : device_(device),
          stop_(stop),
          ovStore_(std::make_unique<OVERLAPPED>()),
          ov_(*ovStore_),
          takes_(std::move(takes)),
          lastTakes_(takes_->load()) {
        ov_.hEvent = wake;
    }
    ~TWin32EventWaiter() override {
        // A new mask ends a pending WaitCommEvent; cancelling it can take a driver (wine's among
        // them) most of a second while bytes keep coming, and Close waits for this.
        SetCommMask(device_, 0);
        if (pending_ && WaitForSingleObject(ov_.hEvent, kEndWaitMs) != WAIT_OBJECT_0) {
            CancelIoEx(device_, &ov_);
            // A wait that never ends must not hold Close for good: its record and event are then
            // left to it, since the driver may still write to them.
            if (WaitForSingleObject(ov_.hEvent, kCancelWaitMs) != WAIT_OBJECT_0) {
                static_cast<void>(ovStore_.release());
                CloseHandle(stop_);
                return;
            }
        }
        CloseHandle(ov_.hEvent);
        CloseHandle(stop_);
    }

    TWaitResult Wait(int timeoutMs) override {
        const DWORD limit = timeoutMs < 0 ? INFINITE : static_cast<DWORD>(timeoutMs);
        if (gone_)
            return WaitForSingleObject(stop_, limit) == WAIT_OBJECT_0 ? TWaitResult::Stopped : TWaitResult::TimedOut;
        // A wait that completes at once never reaches the wait on the stop signal below: without this,
        // bytes that keep the wait completing would keep the thread from ever ending.
        if (WaitForSingleObject(stop_, 0) == WAIT_OBJECT_0) return TWaitResult::Stopped;
        if (!pending_) {
            mask_ = 0;
            if (WaitCommEvent(device_, &mask_, &ov_)) return Report();
            // A device that is gone refuses the wait at once, every time: never loop on that.
            if (GetLastError() != ERROR_IO_PENDING) return GoneNow();
            pending_ = true;
        }
        const HANDLE handles[2] = {stop_, ov_.hEvent};
        const DWORD r = WaitForMultipleObjects(2, handles, FALSE, limit);
        if (r == WAIT_OBJECT_0) return TWaitResult::Stopped;
        if (r == WAIT_TIMEOUT) return TWaitResult::TimedOut;
        if (r != WAIT_OBJECT_0 + 1) return GoneNow();
        pending_ = false;
        DWORD n = 0;
        // ERROR_ACCESS_DENIED, ERROR_BAD_COMMAND, ERROR_GEN_FAILURE (unplugged USB adapters) and an
        // ERROR_OPERATION_ABORTED that no Stop asked for all mean the same: the device has gone.
        if (!GetOverlappedResult(device_, &ov_, &n, FALSE)) return GoneNow();
        return Report();
    }

    void Stop() override { SetEvent(stop_); }

    // Asked after a quiet re-check period; the next Wait finds out for sure (and reports gone again).
    bool DevicePresent() override {
        DWORD errors = 0;
        COMSTAT stat{};
        if (!ClearCommError(device_, &errors, &stat)) return false;
        gone_ = false;
        return true;
    }

  private:
    TWaitResult Report() {
        if (!(mask_ & EV_RXCHAR)) {
            // An empty report (the mask was changed, or a driver that cannot watch the line) would come
            // back at once on the next wait: pause on the stop signal first, so the thread does not spin.
            return Paused(kEmptyReportPauseMs) ? TWaitResult::Stopped : TWaitResult::TimedOut;
        }
        // Some drivers (wine's among them) report EV_RXCHAR for as long as bytes wait unread, not once per
        // arrival. With no more bytes waiting than at the last report and none taken since, nothing can
        // have arrived: such a report is the old bytes again and is dropped after a pause, so the thread
        // neither spins nor hands the UI thread the same bytes over and over.
        // Counted before the queue is looked at, and by the backend after a take is done: a take that
        // falls between the two shows as one at the next report, never as bytes that are not there.
        const unsigned takes = takes_->load();
        const DWORD queued = Queued();
        const bool arrived = queued > lastQueued_ || takes != lastTakes_;
        lastQueued_ = queued;
        lastTakes_ = takes;
        if (arrived) return TWaitResult::Readable;
        return Paused(kRepeatReportPauseMs) ? TWaitResult::Stopped : TWaitResult::TimedOut;
    }

    // Waits `ms` on the stop signal; true when it came.
    bool Paused(DWORD ms) { return WaitForSingleObject(stop_, ms) == WAIT_OBJECT_0; }

    DWORD Queued() {
        DWORD errors = 0;
        COMSTAT stat{};
        return ClearCommError(device_, &errors, &stat) ? stat.cbInQue : 0;
    }

    TWaitResult GoneNow() {
        gone_ = true;
        return TWaitResult::DeviceGone;
    }

    static constexpr DWORD kEmptyReportPauseMs = 10, kRepeatReportPauseMs = 5;
    static constexpr DWORD kEndWaitMs = 200, kCancelWaitMs = 2000;
    HANDLE device_, stop_;
    std::unique_ptr<OVERLAPPED> ovStore_;
    OVERLAPPED& ov_;
    DWORD mask_ = 0;
    std::shared_ptr<const std::atomic<unsigned>> takes_;
    DWORD lastQueued_ = 0;  // bytes waiting at the last report
    unsigned lastTakes_;    // reads and purges before it
    bool pending_ = false;
    bool gone_ = false;
};

class TWin32ComBackend : public TComBackend {
  public:
    ~TWin32ComBackend() override { CloseDevice(); }

    int OpenDevice(const std::string& path) override {
        // Read and write, no sharing, an existing device, overlapped.
        const HANDLE h = CreateFileW(Widen(path).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                     FILE_FLAG_OVERLAPPED, nullptr);
        if (h == INVALID_HANDLE_VALUE) return static_cast<int>(GetLastError());
        h_ = h;
        return 0;
    }

    void CloseDevice() override {
        if (h_ == INVALID_HANDLE_VALUE) return;
        CloseHandle(h_);
        h_ = INVALID_HANDLE_VALUE;
    }

    bool IsOpen() const override { return h_ != INVALID_HANDLE_VALUE; }

    int SetQueueSizes(int inputBytes, int outputBytes) override {
        return SetupComm(h_, static_cast<DWORD>(inputBytes), static_cast<DWORD>(outputBytes)) ? 0 : LastError();
    }

    int SetLine(const TDcb& d) override;

    // The record goes to the driver unchanged; -1 is the all-ones value there too.
    int SetTimeouts(const TCommTimeouts& t) override {
        COMMTIMEOUTS c{static_cast<DWORD>(t.ReadIntervalTimeout), static_cast<DWORD>(t.ReadTotalTimeoutMultiplier),
                       static_cast<DWORD>(t.ReadTotalTimeoutConstant),
                       static_cast<DWORD>(t.WriteTotalTimeoutMultiplier),
                       static_cast<DWORD>(t.WriteTotalTimeoutConstant)};
        return SetCommTimeouts(h_, &c) ? 0 : LastError();
    }

    // Ends pending transfers and drops what waits in both queues, as the POSIX side's flush does.
    int Purge() override {
        const int e = PurgeComm(h_, PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR) ? 0 : LastError();
        ++*takes_;
        return e;
    }

    // giveUpMs counts from the start of the read: once a byte has come, the interval timeout ends it.
    int Read(void* buf, int count, int giveUpMs, int& got) override {
        const int e = Transfer(false, buf, count, giveUpMs, got);
        ++*takes_;
        return e;
    }

    int Write(const void* buf, int count, int& done) override {
        return Transfer(true, const_cast<void*>(buf), count, -1, done);
    }

    int InputCount(int& count) override {
        DWORD errors = 0;
        COMSTAT stat{};
        if (!ClearCommError(h_, &errors, &stat)) return LastError();
        count = static_cast<int>(stat.cbInQue);
        return 0;
    }

    int ModemStatus(TModemSignals& s) override {
        DWORD bits = 0;
        if (!GetCommModemStatus(h_, &bits)) return LastError();
        s.CTS = bits & MS_CTS_ON;
        s.DSR = bits & MS_DSR_ON;
        s.Ring = bits & MS_RING_ON;
        s.RLSD = bits & MS_RLSD_ON;
        return 0;
    }

    std::unique_ptr<TComEventWaiter> CreateEventWaiter(int& error) override {
        // Only arriving bytes are reported by the event thread (see comthread.cpp).
        if (!SetCommMask(h_, EV_RXCHAR)) {
            error = LastError();
            return nullptr;
        }
        const HANDLE stop = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        const HANDLE wake = CreateEventW(nullptr, TRUE, TRUE, nullptr);
        if (!stop || !wake) {
            error = LastError();
            if (stop) CloseHandle(stop);
            if (wake) CloseHandle(wake);
            return nullptr;
        }
        return std::make_unique<TWin32EventWaiter>(h_, stop, wake, takes_);
    }

  private:
    static int LastError() { return static_cast<int>(GetLastError()); }

    int Transfer(bool write, void* buf, int count, int giveUpMs, int& moved) {
        moved = 0;
        TOverlapped op;
        if (!op.Ok()) return LastError();
        DWORD n = 0;
        const BOOL started = write ? WriteFile(h_, buf, static_cast<DWORD>(count), &n, &op.Ov)
                                   : ReadFile(h_, buf, static_cast<DWORD>(count), &n, &op.Ov);
        int e = 0;
        if (!started) {
            e = LastError();
            if (e != ERROR_IO_PENDING) return e;
            e = Finish(h_, op, giveUpMs, n);
        } else if (!GetOverlappedResult(h_, &op.Ov, &n, FALSE)) {
            e = LastError();
        }
        moved = static_cast<int>(n);
        return e;
    }

    HANDLE h_ = INVALID_HANDLE_VALUE;
    // Shared with the event waiter, which may outlive a reopen.
    std::shared_ptr<std::atomic<unsigned>> takes_ = std::make_shared<std::atomic<unsigned>>(0);
};

// The block is built afresh: every field the component does not set is 0, as the line settings want.
int TWin32ComBackend::SetLine(const TDcb& d) {
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    dcb.BaudRate = d.BaudRate;
    dcb.fBinary = (d.Flags & 0x0001) != 0;
    dcb.fParity = (d.Flags & 0x0002) != 0;
    dcb.fOutxCtsFlow = (d.Flags & 0x0004) != 0;
    dcb.fOutxDsrFlow = (d.Flags & 0x0008) != 0;
    dcb.fDtrControl = (d.Flags >> 4) & 3;
    dcb.fDsrSensitivity = (d.Flags & 0x0040) != 0;
    dcb.fTXContinueOnXoff = (d.Flags & 0x0080) != 0;
    dcb.fOutX = (d.Flags & 0x0100) != 0;
    dcb.fInX = (d.Flags & 0x0200) != 0;
    dcb.fErrorChar = (d.Flags & 0x0400) != 0;
    dcb.fNull = (d.Flags & 0x0800) != 0;
    dcb.fRtsControl = (d.Flags >> 12) & 3;
    dcb.fAbortOnError = (d.Flags & 0x4000) != 0;
    dcb.XonLim = d.XonLim;
    dcb.XoffLim = d.XoffLim;
    dcb.ByteSize = d.ByteSize;
    dcb.Parity = d.Parity;
    dcb.StopBits = d.StopBits;
    dcb.XonChar = static_cast<char>(d.XonChar);
    dcb.XoffChar = static_cast<char>(d.XoffChar);
    dcb.ErrorChar = static_cast<char>(d.ErrorChar);
    dcb.EofChar = static_cast<char>(d.EofChar);
    dcb.EvtChar = static_cast<char>(d.EvtChar);
    return SetCommState(h_, &dcb) ? 0 : LastError();
}

}  // namespace

std::unique_ptr<TComBackend> CreatePlatformComBackend() {
    return std::make_unique<TWin32ComBackend>();
}

std::string PlatformDevicePath(const std::string& name) {
    if (name.empty() || name.find_first_of("\\/") != std::string::npos) return name;
    return "\\\\.\\" + name;
}

std::string PlatformDeviceKey(const std::string& name) {
    std::string key = PlatformDevicePath(name);
    for (char& c : key)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return key;
}

bool IsDeviceGoneError(int e) {
    return e == ERROR_ACCESS_DENIED || e == ERROR_BAD_COMMAND || e == ERROR_GEN_FAILURE ||
           e == ERROR_OPERATION_ABORTED || e == ERROR_DEVICE_NOT_CONNECTED || e == ERROR_DEVICE_REMOVED;
}

int NotOpenError() {
    return ERROR_INVALID_HANDLE;
}

}  // namespace tamberline
