// Serial port component: line configuration, open/close, blocking byte I/O and the
// receive-event delivery to the UI thread. Every OS call goes through ComBackend
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
    brCustom, br110, br300, br600, br1200, br2400, br4800, br9600, br14400,
    br19200, br38400, br56000, br57600, br115200, br128000, br256000
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
constexpr TComEvents ComEventBit(TComEvent e) { return static_cast<TComEvents>(1u << e); }
constexpr TComEvents AllComEvents = 0x3FF;

std::string BaudRateName(TBaudRate rate);
TBaudRate BaudRateFromName(const std::string& name);  // no match gives br9600

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

// Remaining declarations (settings objects TComParity, TComFlowControl, TComTimeouts,
// TComBuffer; TCustomComPort; TComPort) follow the serial unit's implementation.
}  // namespace tamberline
