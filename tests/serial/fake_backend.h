// A recording OS layer for the port's setter and open/close rules: counts what reached the "driver"
// and fails on demand.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "serial/backend.h"

namespace tamberline {

struct TFakeLog {
    std::vector<std::string> Calls;  // "open <path>", "close", "queues", "line", "timeouts", "purge"
    TDcb LastDcb;
    TCommTimeouts LastTimeouts;
    std::map<std::string, int> FailWith;  // call name -> errno returned
    int Count(const std::string& name) const {
        int n = 0;
        for (const auto& c : Calls)
            if (c.rfind(name, 0) == 0) ++n;
        return n;
    }
};

class TFakeBackend : public TComBackend {
  public:
    explicit TFakeBackend(TFakeLog& log) : log_(log) {}
    int OpenDevice(const std::string& path) override {
        log_.Calls.push_back("open " + path);
        if (int e = Fail("open")) return e;
        open_ = true;
        return 0;
    }
    void CloseDevice() override {
        if (open_) log_.Calls.push_back("close");
        open_ = false;
    }
    bool IsOpen() const override { return open_; }
    int SetQueueSizes(int, int) override { return Record("queues"); }
    int SetLine(const TDcb& dcb) override {
        log_.LastDcb = dcb;
        return Record("line");
    }
    int SetTimeouts(const TCommTimeouts& t) override {
        log_.LastTimeouts = t;
        return Record("timeouts");
    }
    int Purge() override { return Record("purge"); }
    int Read(void*, int, int, int& got) override {
        got = 0;
        return Record("read");
    }
    int Write(const void*, int count, int& done) override {
        done = count;
        return Record("write");
    }
    int InputCount(int& count) override {
        count = 0;
        return Record("inputcount");
    }
    int ModemStatus(TModemSignals& s) override {
        s = {};
        return Record("modem");
    }
    std::unique_ptr<TComEventWaiter> CreateEventWaiter(int& error) override {
        error = ENOSYS;
        return nullptr;
    }

  private:
    int Fail(const std::string& name) {
        auto it = log_.FailWith.find(name);
        return it == log_.FailWith.end() ? 0 : it->second;
    }
    int Record(const std::string& name) {
        log_.Calls.push_back(name);
        return Fail(name);
    }
    TFakeLog& log_;
    bool open_ = false;
};

}  // namespace tamberline
