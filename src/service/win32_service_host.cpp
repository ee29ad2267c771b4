// tamberlined under Windows' Service Control Manager: its states reported as TScmProgress works them out,
// the SCM's stop requests handed to the service as its end requests, the log in the Application event
// log, the settings in %ProgramData%\Tamberline. Started from a console instead, it runs in the
// foreground as on Linux, for diagnosis.
#include <windows.h>
// after windows.h
#include <shlobj.h>
#include <tlhelp32.h>

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <mutex>
#include <vector>

#include "serial/delivery.h"
#include "serial/wide_text.h"
#include "service/scm_status.h"
#include "service/service_host.h"
#include "tamberlined_messages.h"  // made by windmc from tamberlined_messages.mc

namespace tamberline {

namespace {

// The Application log's source, registered by the installer with this program's message table.
const wchar_t kEventSource[] = L"Tamberline";

class TEventLog {
  public:
    TEventLog() : source_(RegisterEventSourceW(nullptr, kEventSource)) {}
    ~TEventLog() {
        if (source_) DeregisterEventSource(source_);
    }
    TEventLog(const TEventLog&) = delete;
    TEventLog& operator=(const TEventLog&) = delete;

    // The line as it is, type and number by its prefix.
    void Write(const std::string& line) {
        WORD type = EVENTLOG_INFORMATION_TYPE;
        DWORD id = MSG_TAMBERLINED_INFO;
        if (line.rfind(kLogError, 0) == 0)
            type = EVENTLOG_ERROR_TYPE, id = MSG_TAMBERLINED_ERROR;
        else if (line.rfind(kLogWarning, 0) == 0)
            type = EVENTLOG_WARNING_TYPE, id = MSG_TAMBERLINED_WARNING;
        const std::wstring text = Widen(line);
        const wchar_t* strings[] = {text.c_str()};
        if (source_) ReportEventW(source_, type, 0, id, nullptr, 1, 0, strings, nullptr);
    }

  private:
    HANDLE source_;
};

// Standard error in UTF-8 when it goes to a file or a pipe; a console shows UTF-16 whatever its code page.
void WriteToStandardError(const std::string& line) {
    const HANDLE err = GetStdHandle(STD_ERROR_HANDLE);
    DWORD mode = 0;
    if (err != INVALID_HANDLE_VALUE && err != nullptr && GetConsoleMode(err, &mode)) {
        const std::wstring text = Widen(line + "\n");
        DWORD written = 0;
        WriteConsoleW(err, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
        return;
    }
    std::fprintf(stderr, "%s\n", line.c_str());
    std::fflush(stderr);
}

// One service per process: what its main function, its control handler and its end requests share.
struct TScm {
    const std::function<int(const TServiceHosting&)>* Service = nullptr;
    SERVICE_STATUS_HANDLE Handle = nullptr;
    std::unique_ptr<TScmProgress> Progress;
    std::mutex EndMutex;
    std::function<void()> OnEnd;  // the service's end request, while it listens
    int ExitCode = 0;
};
TScm scm;

void ReportToScm(const TScmStatus& s) {
    SERVICE_STATUS st{};
    st.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
    st.dwCurrentState = static_cast<DWORD>(s.State);
    st.dwControlsAccepted =
        s.AcceptsStop ? SERVICE_ACCEPT_STOP | SERVICE_ACCEPT_SHUTDOWN | SERVICE_ACCEPT_PRESHUTDOWN : 0;
    st.dwWin32ExitCode = s.ServiceExitCode != 0 ? ERROR_SERVICE_SPECIFIC_ERROR : NO_ERROR;
    st.dwServiceSpecificExitCode = s.ServiceExitCode;
    st.dwCheckPoint = s.CheckPoint;
    st.dwWaitHint = s.WaitHintMs;
    SetServiceStatus(scm.Handle, &st);
}

// The SCM's stop requests are the service's end requests. The console's control events are not: a
// service's console handler also hears every user's log-off, which must not end it.
class TScmEndRequests : public TEndRequests {
  public:
    explicit TScmEndRequests(std::function<void()> onEnd) {
        std::lock_guard lock(scm.EndMutex);
        scm.OnEnd = std::move(onEnd);
    }
    ~TScmEndRequests() override {
        std::lock_guard lock(scm.EndMutex);
        scm.OnEnd = nullptr;
    }
};

DWORD WINAPI OnControl(DWORD control, DWORD, void*, void*) {
    switch (control) {
        case SERVICE_CONTROL_STOP:
        case SERVICE_CONTROL_SHUTDOWN:
        case SERVICE_CONTROL_PRESHUTDOWN: {
            scm.Progress->StopRequested();
            // Posted while the listener cannot go away: the service's loop outlives its listener.
            std::lock_guard lock(scm.EndMutex);
            if (scm.OnEnd) CurrentUiPoster()(scm.OnEnd);
            return NO_ERROR;
        }
        case SERVICE_CONTROL_INTERROGATE:
            return NO_ERROR;
        default:
            return ERROR_CALL_NOT_IMPLEMENTED;
    }
}

// The SCM starts services in the system folder, and the settings file is read from the current one.
bool EnterSettingsFolder(const TLogLine& log) {
    wchar_t* programData = nullptr;
    std::wstring dir;
    if (SUCCEEDED(SHGetKnownFolderPath(FOLDERID_ProgramData, 0, nullptr, &programData)))
        dir = std::wstring(programData) + L"\\Tamberline";
    CoTaskMemFree(programData);
    if (!dir.empty() && SetCurrentDirectoryW(dir.c_str())) return true;
    log(kLogError + "папка настроек " + (dir.empty() ? "%ProgramData%\\Tamberline" : Narrow(dir)) +
        " недоступна: " + SystemErrorText(GetLastError()) + " (её создаёт программа установки)");
    return false;
}

void WINAPI ServiceMain(DWORD argc, wchar_t** argv) {
    // A service of its own process: the SCM does not check the name, and passes the installed one.
    scm.Handle = RegisterServiceCtrlHandlerExW(argc > 0 ? argv[0] : L"tamberlined", OnControl, nullptr);
    if (!scm.Handle) ExitProcess(1);  // nothing can be reported: as a crash, the SCM restarts it
    scm.Progress = std::make_unique<TScmProgress>(ReportToScm);
    scm.Progress->Starting();
    int code = 2;
    {
        TEventLog eventLog;
        const TLogLine log = [&eventLog](const std::string& line) { eventLog.Write(line); };
        if (EnterSettingsFolder(log))
            code = (*scm.Service)(
                {log, [](std::function<void()> onEnd) { return std::make_unique<TScmEndRequests>(std::move(onEnd)); },
                 [] { scm.Progress->Serving(); }});
    }
    if (!scm.Progress->Ended(code)) ExitProcess(static_cast<UINT>(code));
    scm.ExitCode = code;
}

// The SCM's services are children of services.exe. Asked before the dispatcher, which fails at once
// without an SCM behind it on Windows, but on wine waits for one for ever.
bool StartedByScm() {
    const HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return true;  // the dispatcher tells
    std::vector<PROCESSENTRY32W> processes;
    PROCESSENTRY32W e{};
    e.dwSize = sizeof e;
    for (BOOL more = Process32FirstW(snapshot, &e); more; more = Process32NextW(snapshot, &e))
        processes.push_back(e);
    CloseHandle(snapshot);
    const auto find = [&](DWORD id) {
        return std::find_if(processes.begin(), processes.end(),
                            [id](const PROCESSENTRY32W& p) { return p.th32ProcessID == id; });
    };
    const auto self = find(GetCurrentProcessId());
    if (self == processes.end()) return true;
    const auto parent = find(self->th32ParentProcessID);
    return parent != processes.end() && _wcsicmp(parent->szExeFile, L"services.exe") == 0;
}

}  // namespace

int HostService(const std::function<int(const TServiceHosting&)>& service) {
    scm.Service = &service;
    wchar_t name[] = L"tamberlined";
    const SERVICE_TABLE_ENTRYW table[] = {{name, ServiceMain}, {nullptr, nullptr}};
    if (StartedByScm()) {
        if (StartServiceCtrlDispatcherW(table)) return scm.ExitCode;
        const DWORD error = GetLastError();
        if (error != ERROR_FAILED_SERVICE_CONTROLLER_CONNECT) {
            WriteToStandardError(kLogError + "StartServiceCtrlDispatcherW: " + SystemErrorText(error));
            return 1;
        }
    }
    // Started from a console, not by the SCM: in the foreground, with Ctrl+C and the console's other
    // events as the end requests.
    return service({WriteToStandardError, ListenForEndRequests, [] {}});
}

}  // namespace tamberline
