#include "service/chrony_feed.h"

#include <chrono>
#include <cstring>

#include "clock/clock_texts.h"

namespace tamberline {

namespace {

int64_t DayNumber(const TLocalDateTime& t) {
    using namespace std::chrono;
    return sys_days{year{t.Year} / month(unsigned(t.Month)) / day(unsigned(t.Day))}.time_since_epoch().count();
}

int64_t SecondOfDay(const TLocalDateTime& t) {
    return (t.Hour * 60 + t.Minute) * 60 + t.Second;
}

}  // namespace

std::optional<TChronySample> MakeChronySample(const TRealtimeMoment& at, int hh, int mm, int ss) {
    const auto device = NearestWithTimeOfDay(at.Local, hh, mm, ss);
    if (!device) return std::nullopt;
    constexpr int64_t kDayUs = 86'400'000'000;
    const int64_t aheadUs = (DayNumber(*device) - DayNumber(at.Local)) * kDayUs +
                            (SecondOfDay(*device) - SecondOfDay(at.Local)) * 1'000'000 - at.MicrosIntoSecond;
    TChronySample s;
    s.TvSec = at.UtcUs >= 0 ? at.UtcUs / 1'000'000 : (at.UtcUs - 999'999) / 1'000'000;
    s.TvUsec = at.UtcUs - s.TvSec * 1'000'000;
    s.Offset = static_cast<double>(aheadUs) / 1e6;
    return s;
}

void TChronyFeed::Tick(const TSharedState& s, bool current, TMonoTime secondStart) {
    // Without a sample chronyd marks the source unreachable by itself: nothing to send then.
    if (s.SputSync != 1) return Stop("у прибора нет синхронизации от спутников");
    if (!current) return Stop("время прибора не текущее");
    const auto sample = MakeChronySample(clock_.At(secondStart), s.ClockHH, s.ClockMM, s.ClockSS);
    if (!sample) return Stop("время прибора не является временем суток");
    const int error = socket_.Send(*sample);
    if (error != 0) {
        if (error != lastError_)
            log_("сокет chronyd " + path_ + ": " + std::strerror(error) + "; новая попытка каждую секунду");
        lastError_ = error;
        sending_ = false;
        return;
    }
    lastError_ = 0;
    if (!sending_) log_("время прибора передаётся chronyd через " + path_);
    sending_ = true;
}

void TChronyFeed::Stop(const char* why) {
    if (sending_) log_(std::string("замеры для chronyd не передаются: ") + why);
    sending_ = false;
}

}  // namespace tamberline
