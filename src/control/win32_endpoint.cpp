// The control endpoint on Windows: a local named pipe in byte mode, all I/O overlapped so that every
// wait can also watch a stop event. One thread keeps an instance listening; each client gets a
// thread of its own that reads (16 at most).
#include <windows.h>
// sddl.h leans on windows.h
#include <sddl.h>

#include <atomic>
#include <cstdio>
#include <exception>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <utility>
#include <vector>

#include "control/endpoint.h"
#include "control/endpoint_reports.h"
#include "control/peer_rights.h"
#include "serial/wide_text.h"

namespace tamberline {

namespace {

constexpr size_t kMaxClients = 16;
constexpr DWORD kPipeBuffer = 64 * 1024;  // bytes each way; a client that leaves this much unread stalls
constexpr DWORD kReadChunk = 64 * 1024;
// A write to a pipe with room may still complete a moment later (wine completes them on its server).
constexpr DWORD kSendGraceMs = 10;
constexpr DWORD kClientSendWaitMs = 1000;  // a service that takes nothing for this long has stalled
constexpr DWORD kBusyWaitMs = 200;         // every instance busy: how long a client waits for one
constexpr DWORD kRetryMs = 100;            // no new instance could be made: the pause before another try

// Interactive users may watch and send; only the service's own accounts (and administrators, who can
// stop it anyway) may make instances. Without FILE_CREATE_PIPE_INSTANCE nobody else can answer in the
// service's place on an instance of its own.
constexpr DWORD kPanelAccess = FILE_GENERIC_READ | FILE_WRITE_DATA;
static_assert((kPanelAccess & FILE_CREATE_PIPE_INSTANCE) == 0);

[[noreturn]] void Fail(const std::string& what, DWORD e) {
    throw EControl(what + ": " + SystemErrorText(e));
}

class THandle {
  public:
    explicit THandle(HANDLE h = nullptr) : h_(h == INVALID_HANDLE_VALUE ? nullptr : h) {}
    ~THandle() { Reset(); }
    THandle(THandle&& o) noexcept : h_(std::exchange(o.h_, nullptr)) {}
    THandle& operator=(THandle&& o) noexcept {
        if (this != &o) {
            Reset();
            h_ = std::exchange(o.h_, nullptr);
        }
        return *this;
    }
    HANDLE Get() const { return h_; }
    explicit operator bool() const { return h_ != nullptr; }
    void Reset() {
        if (h_ != nullptr) CloseHandle(h_);
        h_ = nullptr;
    }

  private:
    HANDLE h_;
};

THandle NewEvent(bool manualReset) {
    THandle e(CreateEventW(nullptr, manualReset, FALSE, nullptr));
    if (!e) Fail("CreateEventW", GetLastError());
    return e;
}

// Waits for an overlapped operation, giving up after `ms` or when `stop` (may be null) or `drop` is
// set; an operation given up is cancelled and waited out, as the system writes to `ov` until it ends.
// Returns 0, WAIT_TIMEOUT for a wait given up, or the system's code; `done` gets the bytes moved.
DWORD Finish(HANDLE h, OVERLAPPED& ov, BOOL started, DWORD ms, HANDLE stop, HANDLE drop, DWORD& done) {
    done = 0;
    if (!started && GetLastError() != ERROR_IO_PENDING) return GetLastError();
    HANDLE waits[3] = {ov.hEvent, stop, drop};
    const DWORD count = drop != nullptr ? 3 : stop != nullptr ? 2 : 1;
    const DWORD w = WaitForMultipleObjects(count, waits, FALSE, ms);
    if (w != WAIT_OBJECT_0) {
        CancelIoEx(h, &ov);
        GetOverlappedResult(h, &ov, &done, TRUE);
        return WAIT_TIMEOUT;
    }
    return GetOverlappedResult(h, &ov, &done, FALSE) ? 0 : GetLastError();
}

bool Broken(DWORD e) {
    return e == ERROR_BROKEN_PIPE || e == ERROR_PIPE_NOT_CONNECTED || e == ERROR_NO_DATA;
}

// The pipe's security descriptor, from its SDDL text.
class TPipeSecurity {
  public:
    TPipeSecurity() {
        wchar_t sddl[160];
        std::swprintf(sddl, std::size(sddl), L"D:P(A;;GA;;;SY)(A;;GA;;;BA)(A;;GA;;;LS)(A;;0x%lx;;;IU)",
                      static_cast<unsigned long>(kPanelAccess));
        if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl, SDDL_REVISION_1, &descriptor_, nullptr))
            Fail("the control pipe's security descriptor", GetLastError());
        attributes_.nLength = sizeof attributes_;
        attributes_.lpSecurityDescriptor = descriptor_;
    }
    ~TPipeSecurity() { LocalFree(descriptor_); }
    TPipeSecurity(const TPipeSecurity&) = delete;
    TPipeSecurity& operator=(const TPipeSecurity&) = delete;
    SECURITY_ATTRIBUTES* Attributes() { return &attributes_; }

  private:
    PSECURITY_DESCRIPTOR descriptor_ = nullptr;
    SECURITY_ATTRIBUTES attributes_{};
};

class TWin32Listener final : public TEndpointListener {
  public:
    TWin32Listener(const std::string& endpoint, TListenerEvents events)
        : name_(Widen(endpoint)), reports_(std::move(events)), stop_(NewEvent(true)), connected_(NewEvent(true)) {
        // The first instance claims the name: a process that made one before us (a service already
        // running, or one squatting the name) makes this fail. Asking first names the case plainly, and
        // holds where the flag is not honoured (wine ignores it).
        if (WaitNamedPipeW(name_.c_str(), 1) || GetLastError() == ERROR_SEM_TIMEOUT)
            throw EControl("another service listens on " + endpoint);
        THandle first = NewInstance(true);
        if (!first) {
            const DWORD e = GetLastError();
            if (e == ERROR_ACCESS_DENIED || e == ERROR_PIPE_BUSY)
                throw EControl("another service listens on " + endpoint);
            Fail("control endpoint " + endpoint, e);
        }
        thread_ = std::thread([this, pipe = std::move(first)]() mutable { Run(std::move(pipe)); });
    }

    ~TWin32Listener() override {
        reports_.Close();
        SetEvent(stop_.Get());
        thread_.join();
        for (auto& [id, c] : clients_)
            c->Thread.join();
    }

    bool Send(int client, const std::string& bytes) override {
        std::shared_ptr<TClient> c;
        {
            std::lock_guard lock(mutex_);
            const auto it = clients_.find(client);
            if (it == clients_.end()) return false;
            c = it->second;
        }
        std::lock_guard lock(c->WriteMutex);
        if (!c->Pipe || c->Dropped) return false;
        if (bytes.empty()) return true;
        OVERLAPPED ov{};
        ov.hEvent = c->WriteEvent.Get();
        const BOOL started = WriteFile(c->Pipe.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), nullptr, &ov);
        DWORD done = 0;
        return Finish(c->Pipe.Get(), ov, started, kSendGraceMs, nullptr, nullptr, done) == 0 && done == bytes.size();
    }

    void Drop(int client) override {
        reports_.Drop(client);
        std::lock_guard lock(mutex_);
        const auto it = clients_.find(client);
        if (it == clients_.end()) return;
        {
            std::lock_guard write(it->second->WriteMutex);
            it->second->Dropped = true;
        }
        SetEvent(it->second->DropEvent.Get());
    }

  private:
    struct TClient {
        int Id = 0;
        THandle Pipe;  // closed by the client's thread, under WriteMutex
        THandle DropEvent = NewEvent(true);
        THandle WriteEvent = NewEvent(true);
        std::mutex WriteMutex;
        bool Dropped = false;
        std::atomic<bool> Ended{false};
        std::thread Thread;
    };

    THandle NewInstance(bool first) {
        const DWORD open = PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED | (first ? FILE_FLAG_FIRST_PIPE_INSTANCE : 0);
        const DWORD mode = PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT | PIPE_REJECT_REMOTE_CLIENTS;
        return THandle(CreateNamedPipeW(name_.c_str(), open, mode, PIPE_UNLIMITED_INSTANCES, kPipeBuffer, kPipeBuffer,
                                        0, security_.Attributes()));
    }

    // Keeps one instance listening. The next instance is made before a connected one is handed on,
    // so the name never lacks an instance of ours for another process to claim.
    void Run(THandle pipe) {
        while (pipe) {
            OVERLAPPED ov{};
            ov.hEvent = connected_.Get();
            DWORD e = 0;
            if (!ConnectNamedPipe(pipe.Get(), &ov)) {
                DWORD unused = 0;
                e = GetLastError() == ERROR_PIPE_CONNECTED
                        ? 0
                        : Finish(pipe.Get(), ov, FALSE, INFINITE, stop_.Get(), nullptr, unused);
            }
            if (e == WAIT_TIMEOUT) return;  // stopping
            THandle next = NextInstance();
            if (e == 0) Hand(std::move(pipe));  // else the client left before we saw it
            pipe = std::move(next);
        }
    }

    // Null once stopping.
    THandle NextInstance() {
        for (;;) {
            THandle next = NewInstance(false);
            if (next) return next;
            if (WaitForSingleObject(stop_.Get(), kRetryMs) == WAIT_OBJECT_0) return THandle();
        }
    }

    void Hand(THandle pipe) {
        std::vector<std::shared_ptr<TClient>> ended;
        {
            std::lock_guard lock(mutex_);
            for (auto it = clients_.begin(); it != clients_.end();) {
                if (!it->second->Ended) {
                    ++it;
                    continue;
                }
                ended.push_back(it->second);
                it = clients_.erase(it);
            }
            if (clients_.size() >= kMaxClients) return;  // closed at once
        }
        for (auto& c : ended)
            c->Thread.join();
        auto c = std::make_shared<TClient>();
        c->Id = nextId_++;
        c->Pipe = std::move(pipe);
        {
            std::lock_guard lock(mutex_);
            clients_.emplace(c->Id, c);
        }
        reports_.Connected(c->Id);  // before the thread's first Received
        c->Thread = std::thread([this, c] { Serve(*c); });
    }

    void Serve(TClient& c) {
        const THandle readEvent = NewEvent(true);
        std::string buf;
        std::optional<TPeer> peer;
        for (;;) {
            buf.resize(kReadChunk);
            OVERLAPPED ov{};
            ov.hEvent = readEvent.Get();
            const BOOL started = ReadFile(c.Pipe.Get(), buf.data(), kReadChunk, nullptr, &ov);
            DWORD n = 0;
            if (Finish(c.Pipe.Get(), ov, started, INFINITE, stop_.Get(), c.DropEvent.Get(), n) != 0) break;
            if (n == 0) continue;
            // The client's identity can be asked only once it has written something.
            if (!peer) peer = ClientPeer(c.Pipe.Get());
            buf.resize(n);
            reports_.Received(c.Id, *peer, std::move(buf));
            buf = std::string();
        }
        {
            std::lock_guard lock(c.WriteMutex);
            c.Pipe.Reset();
        }
        reports_.Gone(c.Id);
        c.Ended = true;
    }

    static TPeer ClientPeer(HANDLE pipe) {
        if (!ImpersonateNamedPipeClient(pipe)) return TPeer{false, "unknown"};
        HANDLE token = nullptr;
        // As self: the client allows identification only, under which the thread could open nothing.
        const BOOL opened = OpenThreadToken(GetCurrentThread(), TOKEN_QUERY, TRUE, &token);
        // Going on in the client's name would be worse than stopping.
        if (!RevertToSelf()) std::terminate();
        if (!opened) return TPeer{false, "unknown"};
        TPeer peer = TokenPeer(token, kControlGroup);
        CloseHandle(token);
        return peer;
    }

    std::wstring name_;
    TListenerReports reports_;
    TPipeSecurity security_;
    THandle stop_;       // manual reset: every thread of this listener ends
    THandle connected_;  // the listening instance's ConnectNamedPipe
    std::mutex mutex_;   // the map, against the UI thread's Send and Drop
    std::map<int, std::shared_ptr<TClient>> clients_;
    int nextId_ = 1;  // listening thread
    std::thread thread_;
};

class TWin32Connection final : public TEndpointConnection {
  public:
    explicit TWin32Connection(THandle pipe)
        : pipe_(std::move(pipe)), readEvent_(NewEvent(true)), writeEvent_(NewEvent(true)), stop_(NewEvent(true)) {}

    ~TWin32Connection() override {
        reports_.Close();
        if (!thread_.joinable()) return;
        SetEvent(stop_.Get());
        thread_.join();
    }

    void Send(const std::string& bytes) override {
        const ULONGLONG deadline = GetTickCount64() + kClientSendWaitMs;
        for (size_t sent = 0; sent < bytes.size();) {
            const ULONGLONG now = GetTickCount64();
            OVERLAPPED ov{};
            ov.hEvent = writeEvent_.Get();
            const BOOL started =
                WriteFile(pipe_.Get(), bytes.data() + sent, static_cast<DWORD>(bytes.size() - sent), nullptr, &ov);
            DWORD done = 0;
            const DWORD wait = now < deadline ? static_cast<DWORD>(deadline - now) : 0;
            const DWORD e = Finish(pipe_.Get(), ov, started, wait, nullptr, nullptr, done);
            sent += done;
            if (e == WAIT_TIMEOUT || (e == 0 && done == 0))
                throw EControl("the service takes no messages (stalled for 1 s)");
            if (e != 0) Fail("the service's connection", e);
        }
    }

    std::string Read(std::chrono::milliseconds timeout) override {
        std::string buf(kReadChunk, '\0');
        OVERLAPPED ov{};
        ov.hEvent = readEvent_.Get();
        const BOOL started = ReadFile(pipe_.Get(), buf.data(), kReadChunk, nullptr, &ov);
        DWORD n = 0;
        const DWORD e = Finish(pipe_.Get(), ov, started, static_cast<DWORD>(timeout.count()), nullptr, nullptr, n);
        if (Broken(e)) throw EControl("the service closed the connection");
        if (e != 0 && e != WAIT_TIMEOUT) Fail("the service's connection", e);
        buf.resize(n);  // a read given up may still have taken bytes
        return buf;
    }

    void Start(TConnectionEvents events) override {
        reports_.Start(std::move(events));
        thread_ = std::thread([this] { Run(); });
    }

  private:
    void Run() {
        std::string buf;
        for (;;) {
            buf.resize(kReadChunk);
            OVERLAPPED ov{};
            ov.hEvent = readEvent_.Get();
            const BOOL started = ReadFile(pipe_.Get(), buf.data(), kReadChunk, nullptr, &ov);
            DWORD n = 0;
            const DWORD e = Finish(pipe_.Get(), ov, started, INFINITE, stop_.Get(), nullptr, n);
            if (e == WAIT_TIMEOUT) return;  // stopping
            if (e != 0) {
                reports_.Gone();
                return;
            }
            if (n == 0) continue;
            buf.resize(n);
            reports_.Received(std::move(buf));
            buf = std::string();
        }
    }

    THandle pipe_;
    THandle readEvent_, writeEvent_, stop_;
    TConnectionReports reports_;
    std::thread thread_;
};

}  // namespace

std::string ControlEndpoint() {
    wchar_t value[512];
    const DWORD n = GetEnvironmentVariableW(L"TAMBERLINE_CONTROL", value, std::size(value));
    return n != 0 && n < std::size(value) ? Narrow(value, n) : std::string("\\\\.\\pipe\\tamberline");
}

std::unique_ptr<TEndpointListener> ListenOnEndpoint(const std::string& endpoint, TListenerEvents events) {
    return std::make_unique<TWin32Listener>(endpoint, std::move(events));
}

std::unique_ptr<TEndpointConnection> ConnectToEndpoint(const std::string& endpoint) {
    const std::wstring name = Widen(endpoint);
    for (int attempt = 0;; ++attempt) {
        // Write-data, not generic write: the pipe grants panels no more. Identification is all the
        // service needs of our token.
        THandle pipe(CreateFileW(name.c_str(), GENERIC_READ | FILE_WRITE_DATA, 0, nullptr, OPEN_EXISTING,
                                 FILE_FLAG_OVERLAPPED | SECURITY_SQOS_PRESENT | SECURITY_IDENTIFICATION, nullptr));
        if (pipe) return std::make_unique<TWin32Connection>(std::move(pipe));
        const DWORD e = GetLastError();
        if (e == ERROR_FILE_NOT_FOUND) return nullptr;
        if (e != ERROR_PIPE_BUSY) Fail("control endpoint " + endpoint, e);
        if (attempt == 1) throw EControl("the service at " + endpoint + " takes no connections (busy)");
        WaitNamedPipeW(name.c_str(), kBusyWaitMs);
    }
}

}  // namespace tamberline
