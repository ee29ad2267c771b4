// The main window's creation and close steps that hold decisions: the state after start-up, the
// settings read at start and written at close, and the opening of the port. Plain C++ so that
// tests drive them with a fake view and a pseudo-terminal.
#pragma once

#include <string>

#include "app/current_dir.h"
#include "clock/system_clock.h"
#include "device/state.h"
#include "device/view.h"
#include "serial/comport.h"

namespace tamberline {

inline const char* const kSectionPort = "ComPortSettings";
inline const char* const kSectionCommon = "Common Settings";

struct TStartupContext {
    TSharedState& State;
    TMainView& View;
    TCustomComPort& Port;
    TCurrentDirectory& Dir;
    TSystemClock& Clock;  // the date line comes from the computer's clock
};

// The main window's stored description of ComPort1, applied before start-up reads the settings:
// "COM1" at 38400, 8N1, no flow control with DTR/RTS off, 10-byte queues, read interval 2 ms and
// no total timeouts, receive events only, delivered on the UI thread.
void ConfigureComPort1(TCustomComPort& port);

// The first creation steps, which show no device yet: the date line, the state defaults, the clock
// and time editor texts. A panel starts with these too.
void ShowStartState(TStartupContext& c);

// Creation from the date line to the zone query: ShowStartState, the port's own description, the
// settings, opening the port (unless `open` is false), PendingAction := zone query. An error ends the
// steps where it happens and propagates.
void RunCreateSteps(TStartupContext& c, bool open = true);

// Close: the port first (the event thread must stop before the window goes), then "ComPort",
// "BaudRate" and "SumWnt" in one opening of the file. A write error propagates after the port is
// already closed, so the program can still end.
void RunCloseSteps(TSharedState& s, TCustomComPort& port, TCurrentDirectory& dir);

}  // namespace tamberline
