// Stand-ins for the operating system's clock and current directory: tests must never read the
// real directory's settings nor set the computer's clock.
#pragma once

#include <string>
#include <vector>

#include "app/current_dir.h"
#include "clock/system_clock.h"

namespace tamberline::test {

// Friday 15.03.2024 10:20:30.400 until a test moves it; records every clock setting.
class TFakeClock : public TSystemClock {
  public:
    TLocalDateTime Current{2024, 3, 15, 10, 20, 30, 400, 5};
    std::vector<TLocalDateTime> Sets;
    TClockSetResult Answer = TClockSetResult::Set;  // anything else: nothing set
    std::string Separator = ":";

    TLocalDateTime Now() override { return Current; }
    TClockSetResult SetLocal(const TLocalDateTime& t) override {
        if (Answer != TClockSetResult::Set) return Answer;
        Sets.push_back(t);
        Current = t;
        return Answer;
    }
    std::string WeekdayAbbrev(int d) override {
        return std::vector<std::string>{"Вс", "Пн", "Вт", "Ср", "Чт", "Пт", "Сб"}.at(d);
    }
    std::string TimeSeparator() override { return Separator; }
};

class TFixedDir : public TCurrentDirectory {
  public:
    explicit TFixedDir(std::string d = "") : Dir(std::move(d)) {}
    std::string Get() override { return Dir; }
    std::string Dir;
};

}  // namespace tamberline::test
