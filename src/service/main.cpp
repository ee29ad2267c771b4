// tamberlined: no options; everything comes from Settings.INI in the working directory, and the
// log goes to standard error, where the journal keeps it.
#include <clocale>
#include <cstdio>

#include "service/service.h"
#include "service/service_options.h"

int main(int argc, char** argv) {
    using namespace tamberline;
    if (auto exitCode = AnswerServiceOptions(argc, argv)) return *exitCode;
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
