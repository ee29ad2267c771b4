// tamberlined: no options beyond --help and --version; everything comes from Settings.INI in the working
// directory (under Windows' SCM %ProgramData%\Tamberline), and the log goes where the system keeps a
// service's (service_host.h).
#include <clocale>
#include <cstdio>

#include "service/service.h"
#include "service/service_host.h"
#include "service/service_options.h"

int main(int argc, char** argv) {
    using namespace tamberline;
    if (auto exitCode = AnswerServiceOptions(argc, argv)) return *exitCode;
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
