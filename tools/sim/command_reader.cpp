// Commands are E2 E4 <code> 03 [3 payload bytes] CRC; the receiver hunts for E2 E4 after any fault.
#include "command_reader.h"

#include "device/crc8.h"

namespace tamberline::sim {

size_t TCommandReader::ExpectedLength(uint8_t code) {
    switch (code) {
        case 0x0A:  // set zone
        case 0x0B:  // set time
            return 8;
        case 0x0C:  // zone query
            return 5;
        default:
            return 0;
    }
}

std::vector<TCommandEvent> TCommandReader::Feed(uint8_t byte, int64_t nowMs) {
    std::vector<TCommandEvent> out;
    if (!frame_.empty() && nowMs - lastMs_ > kGapMs) {
        junk_.insert(junk_.end(), frame_.begin(), frame_.end());
        frame_.clear();
    }
    lastMs_ = nowMs;
    Scan(byte, out);
    return out;
}

void TCommandReader::Scan(uint8_t byte, std::vector<TCommandEvent>& out) {
    frame_.push_back(byte);
    size_t n = frame_.size();
    bool prefixOk = frame_[0] == 0xE2 && (n < 2 || frame_[1] == 0xE4) && (n < 3 || ExpectedLength(frame_[2]) != 0) &&
                    (n < 4 || frame_[3] == 0x03);
    if (!prefixOk) {
        // Drop the first byte and look for a start again in what remains.
        junk_.push_back(frame_[0]);
        std::vector<uint8_t> rest(frame_.begin() + 1, frame_.end());
        frame_.clear();
        for (uint8_t b : rest)
            Scan(b, out);
        return;
    }
    if (n < 3 || n < ExpectedLength(frame_[2])) return;
    if (auto junk = TakeJunk()) out.push_back(*junk);
    bool crcOk = Crc8(frame_.data(), frame_.size()) == 0;
    out.push_back(TCommandEvent{crcOk, frame_});
    frame_.clear();
}

std::optional<TCommandEvent> TCommandReader::TakeJunk() {
    if (junk_.empty()) return std::nullopt;
    TCommandEvent e{false, junk_};
    junk_.clear();
    return e;
}

}  // namespace tamberline::sim
