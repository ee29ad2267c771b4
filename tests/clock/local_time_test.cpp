// Local time to the moment it names where the zone's offset changes: the hour that happens twice,
// the hour that is skipped, and a change of the clock across the offset change through a setter
// that converts with the present's offset (Windows). Built into the clock tests of both systems.
#include <gtest/gtest.h>

#include <chrono>

#include "clock/system_clock.h"

namespace tamberline {
namespace {

using namespace std::chrono;

// 2026 only; also the local time read as if it were UTC.
int64_t Utc(int month, int d, int hh, int mm) {
    const sys_days date{year{2026} / month / d};
    return int64_t{date.time_since_epoch().count()} * 86400 + hh * 3600 + mm * 60;
}
TLocalDateTime Local(int month, int d, int hh, int mm) {
    return {2026, month, d, hh, mm, 0, 0, 0};
}

// Central European time in 2026: +1 h, +2 h from 29.03 01:00 UTC to 25.10 01:00 UTC.
int Berlin2026(int64_t utc) {
    return utc >= Utc(3, 29, 1, 0) && utc < Utc(10, 25, 1, 0) ? 7200 : 3600;
}

struct TOffsetCase {
    const char* name;
    int64_t present;  // UTC
    TLocalDateTime local;
    std::optional<int64_t> want;  // UTC; none where the zone skips the time
    int calls;                    // of the setter that converts with the present's offset
    TClockSetResult answer = TClockSetResult::Set;
};

const TOffsetCase kCases[] = {
    {"summer day", Utc(7, 15, 10, 0), Local(7, 15, 12, 1), Utc(7, 15, 10, 1), 1},
    {"autumn: from summer time past the change", Utc(10, 25, 0, 50), Local(10, 25, 3, 10), Utc(10, 25, 2, 10), 2},
    {"autumn: from winter time back before it", Utc(10, 25, 1, 30), Local(10, 25, 1, 50), Utc(10, 24, 23, 50), 2},
    {"autumn: hour twice, present in its first pass", Utc(10, 25, 0, 20), Local(10, 25, 2, 30), Utc(10, 25, 0, 30), 1},
    {"autumn: hour twice, present in its second pass", Utc(10, 25, 1, 20), Local(10, 25, 2, 30), Utc(10, 25, 1, 30), 1},
    {"autumn: hour twice, present the day before", Utc(10, 24, 2, 30), Local(10, 25, 2, 30), Utc(10, 25, 0, 30), 1},
    {"autumn: hour twice, present hours after", Utc(10, 25, 6, 0), Local(10, 25, 2, 30), Utc(10, 25, 1, 30), 1},
    {"spring: from winter time past the change", Utc(3, 29, 0, 50), Local(3, 29, 3, 10), Utc(3, 29, 1, 10), 2},
    {"spring: first second after the skip", Utc(3, 29, 0, 50), Local(3, 29, 3, 0), Utc(3, 29, 1, 0), 2},
    {"spring: from summer time back before it", Utc(3, 29, 1, 10), Local(3, 29, 1, 50), Utc(3, 29, 0, 50), 2},
    {"spring: skipped hour, present before", Utc(3, 29, 0, 50), Local(3, 29, 2, 30), std::nullopt, 0},
    {"spring: skipped hour, present after", Utc(3, 29, 1, 10), Local(3, 29, 2, 0), std::nullopt, 0},
    {"no right, across the change", Utc(10, 25, 0, 50), Local(10, 25, 3, 10), Utc(10, 25, 2, 10), 1,
     TClockSetResult::NoRight},
};

// SetLocalTime as Windows documents it: local time to UTC with the offset in force when called.
class TFakeLocalTime : public TLocalTimeSetter {
  public:
    int64_t Now = 0;
    TClockSetResult Answer = TClockSetResult::Set;
    int Calls = 0;
    int64_t UtcNow() override { return Now; }
    int OffsetAt(int64_t utc) override { return Berlin2026(utc); }
    TClockSetResult SetLocalOnce(const TLocalDateTime& t) override {
        ++Calls;
        if (Answer == TClockSetResult::Set) Now = Utc(t.Month, t.Day, t.Hour, t.Minute) + t.Second - OffsetAt(Now);
        return Answer;
    }
};

TEST(SetThroughPresentOffset, SecondCallOnlyAcrossTheChangeAndNothingInTheSkippedHour) {
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        TFakeLocalTime os;
        os.Now = c.present, os.Answer = c.answer;
        EXPECT_EQ(SetThroughPresentOffset(os, c.local), c.want ? c.answer : TClockSetResult::Failed);
        EXPECT_EQ(os.Calls, c.calls);
        if (c.answer == TClockSetResult::Set) {
            EXPECT_EQ(os.Now, c.want.value_or(c.present));
        }
    }
}

// In the computer's own zone, which the runner makes Berlin's (core_units.cmake): a Windows program
// cannot change it, and wine takes it from the host's TZ.
TEST(UtcOfLocal, BerlinZoneTakesTheMomentNearestThePresent) {
    if (LocalOffsetAt(Utc(1, 15, 12, 0)) != 3600 || LocalOffsetAt(Utc(7, 15, 12, 0)) != 7200)
        GTEST_SKIP() << "the computer's zone is not Berlin's: run with the TZ of core_units.cmake";
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(UtcOfLocal(c.local, c.present, LocalOffsetAt), c.want);
    }
}

}  // namespace
}  // namespace tamberline
