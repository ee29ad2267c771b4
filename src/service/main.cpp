// tamberlined: no options; everything comes from Settings.INI in the working directory (on Windows under
// the SCM %ProgramData%\Tamberline), and the log goes where the system keeps a service's (service_host.h).
#include <clocale>
#include <cstdio>

#include "service/service.h"
#include "service/service_host.h"

int main(int argc, char**) {
    using namespace tamberline;
    if (argc > 1) {
        std::fputs("usage: tamberlined (settings: Settings.INI in the working directory)\n", stderr);
        return 2;
    }
    std::setlocale(LC_ALL, "");
    const bool clockRights = TakeGrantedClockRights();  // first: the raised priority below needs it
    UseFineTimerSlack();
    UseShortSchedulerSlice();  // before any thread starts, so the event thread has it too
    UseRaisedPriority();       // refused without the right; the default then serves
    return HostService([clockRights](const TServiceHosting& host) {
        TLocalSystemClock clock;
        TProcessCurrentDirectory dir;
        TSystemRealtimeClock realtime;
        TService service({clock, dir, realtime, clockRights, host.ListenForEnd}, host.Log);
        return service.Run(host.Serving);
    });
}
