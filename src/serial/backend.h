// The OS layer under the serial port component: one small interface, one implementation per OS
// (posix_backend.cpp, win32_backend.cpp). Every call returns 0 or the system error code (errno on
// POSIX, GetLastError() on Windows), so the component turns failures into EComPort with that code.
#pragma once

#include <memory>
#include <string>

#include "serial/comport.h"

namespace tamberline {

enum class TWaitResult { Readable, Stopped, DeviceGone, TimedOut };

// Waits for new bytes on the device together with a stop signal; used by the event thread only.
class TComEventWaiter {
  public:
    virtual ~TComEventWaiter() = default;
    // Blocks until new bytes arrive, Stop() is called, the device goes away, or timeoutMs pass
    // (-1: no limit).
    virtual TWaitResult Wait(int timeoutMs) = 0;
    // Thread-safe; makes every later Wait return Stopped.
    virtual void Stop() = 0;
    // True when the device still looks present (used to re-check after a hang-up).
    virtual bool DevicePresent() = 0;
};

class TComBackend {
  public:
    virtual ~TComBackend() = default;
    virtual int OpenDevice(const std::string& path) = 0;  // exclusive, read and write
    virtual void CloseDevice() = 0;
    virtual bool IsOpen() const = 0;
    virtual int SetQueueSizes(int inputBytes, int outputBytes) = 0;
    virtual int SetLine(const TDcb& dcb) = 0;
    virtual int SetTimeouts(const TCommTimeouts& t) = 0;
    // Drops what waits in the queues (both directions).
    virtual int Purge() = 0;
    // Completes by the timeout record; giveUpMs >= 0 also ends the read after that much silence.
    virtual int Read(void* buf, int count, int giveUpMs, int& got) = 0;
    virtual int Write(const void* buf, int count, int& done) = 0;
    virtual int InputCount(int& count) = 0;
    virtual int ModemStatus(TModemSignals& signals) = 0;
    virtual std::unique_ptr<TComEventWaiter> CreateEventWaiter(int& error) = 0;
};

std::unique_ptr<TComBackend> CreatePlatformComBackend();

// The device a port name stands for: "COM3" is "\\.\COM3" on Windows; on POSIX a name that is not
// absolute lives under /dev ("ttyS0", "pts/1").
std::string PlatformDevicePath(const std::string& portName);
// PlatformDevicePath in the one spelling that two names of the same device share: Windows ignores the
// case of device names ("Com1" and "COM1" are one port), POSIX does not.
std::string PlatformDeviceKey(const std::string& portName);
// True for the system error codes that mean the device itself went away (unplugged, hung up, node
// removed), as opposed to a refused operation on a device that is still there.
bool IsDeviceGoneError(int systemError);
// The system code reported for I/O on a port that is not open.
int NotOpenError();

}  // namespace tamberline
