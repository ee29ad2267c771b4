// tamberlined: no options; everything comes from Settings.INI in the working directory, and the
// log goes to standard error, where the journal keeps it.
#include <clocale>
#include <cstdio>

#include "service/service.h"

int main(int argc, char**) {
    using namespace tamberline;
    if (argc > 1) {
        std::fputs("usage: tamberlined (settings: Settings.INI in the working directory)\n", stderr);
        return 2;
    }
    std::setlocale(LC_ALL, "");
    TakeGrantedClockRights();  // first: the raised priority below needs it
    UseFineTimerSlack();
    UseShortSchedulerSlice();  // before any thread starts, so the event thread has it too
    UseRaisedPriority();       // refused without the right; the default then serves
    TLocalSystemClock clock;
    TProcessCurrentDirectory dir;
    TPosixRealtimeClock realtime;
    TService service({clock, dir, realtime},
                     [](const std::string& line) { std::fprintf(stderr, "%s\n", line.c_str()); });
    return service.Run();
}
