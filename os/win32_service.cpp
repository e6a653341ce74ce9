// The watch as a Windows service. The service runs under its virtual account
// NT SERVICE\NAME: an account of its own, with no password to keep, that
// holds no more rights than it is given, so the installation gives it
// exactly what the watch needs, reading the input folder and changing the
// output folder.

#include <windows.h>
// After windows.h, which they need.
#include <aclapi.h>
#include <bcrypt.h>
#include <shellapi.h>

#include <array>
#include <memory>
#include <mutex>

#include "os/service.h"
#include "os/win32_event_source.h"
#include "os/win32_stream_relay.h"
#include "os/win32_text.h"
#include "os/win32_watch_control.h"

namespace segweld::os {
namespace {

// The first look at a folder of many products may take a while: the service
// says it is still starting this often.
constexpr DWORD kPendingHintMs = 10000;
constexpr DWORD kCheckPointMs = 2000;
// How long the installation and the removal wait for the service.
constexpr DWORD kStateWaitMs = 60000;
// Restarts after a failure: 10 s, then 1 min, then 5 min each time, counted
// afresh after a day without failure.
constexpr std::array<DWORD, 3> kRestartDelaysMs = {10000, 60000, 300000};
constexpr DWORD kFailureCountReset = 24 * 60 * 60;

constexpr DWORD kReadAccess = FILE_GENERIC_READ | FILE_GENERIC_EXECUTE;
constexpr DWORD kChangeAccess =
    FILE_GENERIC_READ | FILE_GENERIC_WRITE | FILE_GENERIC_EXECUTE | DELETE;

class ServiceHandle {
  public:
    explicit ServiceHandle(SC_HANDLE handle) : handle_(handle) {}
    ~ServiceHandle() {
        if (handle_ != nullptr) {
            CloseServiceHandle(handle_);
        }
    }
    ServiceHandle(const ServiceHandle&) = delete;
    ServiceHandle& operator=(const ServiceHandle&) = delete;
    SC_HANDLE get() const { return handle_; }
    explicit operator bool() const { return handle_ != nullptr; }

  private:
    SC_HANDLE handle_;
};

std::string Failure(const std::string& what, DWORD error) {
    std::string text = what + ": " + SystemText(error);
    if (error == ERROR_ACCESS_DENIED) {
        text += " (services are installed and removed from a console run as administrator)";
    }
    return text;
}

std::wstring ModulePath() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length =
            GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length < path.size()) {
            path.resize(length);
            return path;
        }
        path.resize(path.size() * 2);
    }
}

// The security identifier of the virtual account NT SERVICE\NAME, which the
// system derives from the name alone: S-1-5-80 and the SHA-1 of the name in
// capitals (UTF-16), as five numbers. It exists before the service has ever
// run, when the account cannot be looked up by its name yet.
struct SidFreer {
    void operator()(void* sid) const { ::FreeSid(sid); }
};
using OwnedSid = std::unique_ptr<void, SidFreer>;

OwnedSid ServiceAccountSid(const std::wstring& name) {
    std::wstring upper = name;
    CharUpperBuffW(upper.data(), static_cast<DWORD>(upper.size()));
    std::array<uint8_t, 20> digest{};
    BCRYPT_ALG_HANDLE algorithm = nullptr;
    if (BCryptOpenAlgorithmProvider(&algorithm, BCRYPT_SHA1_ALGORITHM, nullptr, 0) < 0) {
        return nullptr;
    }
    BCRYPT_HASH_HANDLE hash = nullptr;
    const bool hashed =
        BCryptCreateHash(algorithm, &hash, nullptr, 0, nullptr, 0, 0) >= 0 &&
        BCryptHashData(hash, reinterpret_cast<PUCHAR>(upper.data()),
                       static_cast<ULONG>(upper.size() * sizeof(wchar_t)), 0) >= 0 &&
        BCryptFinishHash(hash, digest.data(), static_cast<ULONG>(digest.size()), 0) >= 0;
    if (hash != nullptr) {
        BCryptDestroyHash(hash);
    }
    BCryptCloseAlgorithmProvider(algorithm, 0);
    if (!hashed) {
        return nullptr;
    }
    std::array<DWORD, 5> parts{};
    for (size_t i = 0; i < parts.size(); ++i) {
        parts[i] = DWORD{digest[4 * i]} | DWORD{digest[4 * i + 1]} << 8 |
                   DWORD{digest[4 * i + 2]} << 16 | DWORD{digest[4 * i + 3]} << 24;
    }
    SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
    PSID sid = nullptr;
    if (!AllocateAndInitializeSid(&nt, 6, SECURITY_SERVICE_ID_BASE_RID, parts[0], parts[1],
                                  parts[2], parts[3], parts[4], 0, 0, &sid)) {
        return nullptr;
    }
    return OwnedSid(sid);
}

// Gives `sid` the access `rights` to `folder` and everything in it (and made
// in it later), or takes every access it was given back (REVOKE_ACCESS).
DWORD ChangeAccess(const std::string& folder, PSID sid, ACCESS_MODE mode, DWORD rights) {
    const std::optional<std::wstring> wide = Widen(folder);
    if (!wide) {
        return ERROR_INVALID_NAME;
    }
    PACL oldList = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    DWORD error = GetNamedSecurityInfoW(wide->c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION,
                                        nullptr, nullptr, &oldList, nullptr, &descriptor);
    if (error != ERROR_SUCCESS) {
        return error;
    }
    EXPLICIT_ACCESS_W access{};
    access.grfAccessPermissions = rights;
    access.grfAccessMode = mode;
    access.grfInheritance = SUB_CONTAINERS_AND_OBJECTS_INHERIT;
    access.Trustee.TrusteeForm = TRUSTEE_IS_SID;
    access.Trustee.TrusteeType = TRUSTEE_IS_USER;
    access.Trustee.ptstrName = static_cast<LPWSTR>(sid);
    PACL newList = nullptr;
    error = SetEntriesInAclW(1, &access, oldList, &newList);
    if (error == ERROR_SUCCESS) {
        error =
            SetNamedSecurityInfoW(const_cast<LPWSTR>(wide->c_str()), SE_FILE_OBJECT,
                                  DACL_SECURITY_INFORMATION, nullptr, nullptr, newList, nullptr);
        LocalFree(newList);
    }
    LocalFree(descriptor);
    return error;
}

// The lines an administrator would type to give the access by hand.
std::string AccessByHand(const std::string& folder, const std::string& name, bool change) {
    return "icacls \"" + folder + "\" /grant \"NT SERVICE\\" + name + ":(OI)(CI)" +
           (change ? "M" : "RX") + "\"";
}

void GrantFolders(const ServiceSetup& setup, const std::wstring& name,
                  std::vector<std::string>& notes) {
    const OwnedSid sid = ServiceAccountSid(name);
    const auto grant = [&](const std::string& folder, bool change) {
        const DWORD error = sid ? ChangeAccess(folder, sid.get(), GRANT_ACCESS,
                                               change ? kChangeAccess : kReadAccess)
                                : GetLastError();
        if (error != ERROR_SUCCESS) {
            notes.push_back("warning: cannot give the service's account access to " + folder +
                            " (" + SystemText(error) +
                            "); give it by hand: " + AccessByHand(folder, setup.name, change));
        }
    };
    for (const std::string& folder : setup.readFolders) {
        grant(folder, false);
    }
    for (const std::string& folder : setup.changeFolders) {
        grant(folder, true);
    }
}

// Restarts on failure, including a watch that ends with an exit status
// other than 0 (a folder not there yet at start-up, say), and the service's
// own identifier in its processes' tokens, which its account's access needs.
void Configure(SC_HANDLE service, const ServiceSetup& setup, std::vector<std::string>& notes) {
    std::wstring description = Widen(setup.description).value_or(L"");
    SERVICE_DESCRIPTIONW text{description.data()};
    ChangeServiceConfig2W(service, SERVICE_CONFIG_DESCRIPTION, &text);

    std::array<SC_ACTION, kRestartDelaysMs.size()> actions{};
    for (size_t i = 0; i < actions.size(); ++i) {
        actions[i] = {SC_ACTION_RESTART, kRestartDelaysMs[i]};
    }
    SERVICE_FAILURE_ACTIONSW failure{};
    failure.dwResetPeriod = kFailureCountReset;
    failure.cActions = static_cast<DWORD>(actions.size());
    failure.lpsaActions = actions.data();
    if (!ChangeServiceConfig2W(service, SERVICE_CONFIG_FAILURE_ACTIONS, &failure)) {
        notes.push_back("warning: cannot make the service restart when it fails: " +
                        SystemText(GetLastError()));
    }
    SERVICE_FAILURE_ACTIONS_FLAG onExitStatus{TRUE};
    if (!ChangeServiceConfig2W(service, SERVICE_CONFIG_FAILURE_ACTIONS_FLAG, &onExitStatus)) {
        notes.push_back(
            "warning: the service will be restarted when it crashes, but not when it stops with "
            "an exit status other than 0: " +
            SystemText(GetLastError()));
    }
    SERVICE_SID_INFO sidType{SERVICE_SID_TYPE_UNRESTRICTED};
    ChangeServiceConfig2W(service, SERVICE_CONFIG_SERVICE_SID_INFO, &sidType);
}

// Waits while the service is in `from`; its state then.
DWORD WaitWhile(SC_HANDLE service, DWORD from) {
    SERVICE_STATUS status{};
    const ULONGLONG end = GetTickCount64() + kStateWaitMs;
    while (QueryServiceStatus(service, &status) && status.dwCurrentState == from &&
           GetTickCount64() < end) {
        Sleep(250);
    }
    return status.dwCurrentState;
}

std::string ExitOf(SC_HANDLE service) {
    SERVICE_STATUS status{};
    QueryServiceStatus(service, &status);
    if (status.dwWin32ExitCode == ERROR_SERVICE_SPECIFIC_ERROR) {
        return "exit status " + std::to_string(status.dwServiceSpecificExitCode);
    }
    return SystemText(status.dwWin32ExitCode);
}

// ---- The service's own process ----

// The one service this process runs, as the service manager's threads see it.
struct ServiceRun {
    std::wstring name;
    const std::function<int()>* body = nullptr;
    int exitStatus = 0;

    SERVICE_STATUS_HANDLE handle = nullptr;
    std::mutex mutex;
    SERVICE_STATUS status{};
    HANDLE ended = nullptr;  // set when the body has returned
};

ServiceRun* theRun = nullptr;

void Report(DWORD state, int exitStatus = 0) {
    ServiceRun& run = *theRun;
    std::lock_guard lock(run.mutex);
    const bool pending = state == SERVICE_START_PENDING || state == SERVICE_STOP_PENDING;
    run.status.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
    run.status.dwCurrentState = state;
    run.status.dwControlsAccepted =
        state == SERVICE_RUNNING ? SERVICE_ACCEPT_STOP | SERVICE_ACCEPT_SHUTDOWN : 0;
    run.status.dwWin32ExitCode = exitStatus == 0 ? NO_ERROR : ERROR_SERVICE_SPECIFIC_ERROR;
    run.status.dwServiceSpecificExitCode = static_cast<DWORD>(exitStatus);
    run.status.dwCheckPoint = pending ? run.status.dwCheckPoint + 1 : 0;
    run.status.dwWaitHint = pending ? kPendingHintMs : 0;
    SetServiceStatus(run.handle, &run.status);
}

// While the service starts or stops, it says every two seconds that it is
// still at it.
DWORD WINAPI TellProgress(void*) {
    while (WaitForSingleObject(theRun->ended, kCheckPointMs) == WAIT_TIMEOUT) {
        std::lock_guard lock(theRun->mutex);
        const DWORD state = theRun->status.dwCurrentState;
        if (state == SERVICE_START_PENDING || state == SERVICE_STOP_PENDING) {
            ++theRun->status.dwCheckPoint;
            SetServiceStatus(theRun->handle, &theRun->status);
        }
    }
    return 0;
}

DWORD WINAPI OnServiceControl(DWORD control, DWORD, void*, void*) {
    switch (control) {
        case SERVICE_CONTROL_STOP:
        case SERVICE_CONTROL_SHUTDOWN:
            Report(SERVICE_STOP_PENDING);
            RequestWatchStop();
            return NO_ERROR;
        case SERVICE_CONTROL_INTERROGATE:
            return NO_ERROR;
        default:
            return ERROR_CALL_NOT_IMPLEMENTED;
    }
}

void WINAPI ServiceMain(DWORD, LPWSTR*) {
    ServiceRun& run = *theRun;
    run.handle = RegisterServiceCtrlHandlerExW(run.name.c_str(), OnServiceControl, nullptr);
    if (run.handle == nullptr) {
        return;
    }
    Report(SERVICE_START_PENDING);
    run.ended = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    const HANDLE progress = CreateThread(nullptr, 0, TellProgress, nullptr, 0, nullptr);
    // The log first, so that everything the watch says goes there.
    EventSourceWriter log(run.name);
    std::unique_ptr<StreamRelay> relay;
    if (log.isOpen()) {
        relay = StreamRelay::Start(
            {1, 2}, [&log](std::string_view text) { log.Write(text); }, true);
    }
    if (relay) {
        MarkStreamsAsEventLog();
    }
    OnWatchReady([] { Report(SERVICE_RUNNING); });
    run.exitStatus = (*run.body)();
    if (relay && !relay->Finish(2000)) {
        relay.release();  // a program started still holds it: left to the process's end
    }
    SetEvent(run.ended);
    if (progress != nullptr) {
        WaitForSingleObject(progress, INFINITE);
        CloseHandle(progress);
    }
    Report(SERVICE_STOPPED, run.exitStatus);
}

}  // namespace

std::string RefuseServiceName(const std::string& name) {
    const std::optional<std::wstring> wide = Widen(name);
    if (!wide || wide->empty() || wide->size() > 256 ||
        wide->find_first_of(L"\\/") != std::wstring::npos) {
        return "a service name has 1 to 256 characters and neither \\ nor /";
    }
    return "";
}

bool InstallService(const ServiceSetup& setup, std::vector<std::string>& notes,
                    std::string& error) {
    const std::wstring name = Widen(setup.name).value_or(L"");
    std::wstring command = QuotedArgument(ModulePath());
    for (const std::string& argument : setup.arguments) {
        command += L" " + QuotedArgument(Widen(argument).value_or(L""));
    }
    const ServiceHandle manager(
        OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT | SC_MANAGER_CREATE_SERVICE));
    if (!manager) {
        error = Failure("cannot install the service " + setup.name, GetLastError());
        return false;
    }
    const std::wstring account = L"NT SERVICE\\" + name;
    const std::wstring display = L"Segweld " + name;
    const ServiceHandle service(
        CreateServiceW(manager.get(), name.c_str(), display.c_str(), SERVICE_ALL_ACCESS,
                       SERVICE_WIN32_OWN_PROCESS, SERVICE_AUTO_START, SERVICE_ERROR_NORMAL,
                       command.c_str(), nullptr, nullptr, nullptr, account.c_str(), nullptr));
    if (!service) {
        const DWORD code = GetLastError();
        error = code == ERROR_SERVICE_EXISTS
                    ? "a service named " + setup.name + " exists already"
                    : Failure("cannot install the service " + setup.name, code);
        return false;
    }
    Configure(service.get(), setup, notes);
    GrantFolders(setup, name, notes);
    if (std::string why; !RegisterEventSourceName(name, ModulePath(), why)) {
        notes.push_back(
            "warning: the Event Viewer will show the service's events without their "
            "text, since its event source could not be registered: " +
            why);
    }
    return true;
}

bool StartInstalledService(const std::string& name, std::string& error) {
    const std::wstring wide = Widen(name).value_or(L"");
    const ServiceHandle manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
    const ServiceHandle service(
        manager ? OpenServiceW(manager.get(), wide.c_str(), SERVICE_START | SERVICE_QUERY_STATUS)
                : nullptr);
    if (!service || !StartServiceW(service.get(), 0, nullptr)) {
        error = Failure("cannot start the service " + name, GetLastError());
        return false;
    }
    const DWORD state = WaitWhile(service.get(), SERVICE_START_PENDING);
    if (state != SERVICE_RUNNING) {
        error = "the service " + name + " did not start: " + ExitOf(service.get());
        return false;
    }
    return true;
}

std::optional<std::vector<std::string>> ServiceArguments(const std::string& name,
                                                         std::string& error) {
    const std::wstring wide = Widen(name).value_or(L"");
    const ServiceHandle manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
    const ServiceHandle service(
        manager ? OpenServiceW(manager.get(), wide.c_str(), SERVICE_QUERY_CONFIG) : nullptr);
    DWORD needed = 0;
    if (service) {
        QueryServiceConfigW(service.get(), nullptr, 0, &needed);
    }
    std::vector<std::byte> buffer(needed);
    auto* config = reinterpret_cast<QUERY_SERVICE_CONFIGW*>(buffer.data());
    if (!service || needed == 0 || !QueryServiceConfigW(service.get(), config, needed, &needed)) {
        const DWORD code = GetLastError();
        error = code == ERROR_SERVICE_DOES_NOT_EXIST
                    ? "there is no service named " + name
                    : Failure("cannot look at the service " + name, code);
        return std::nullopt;
    }
    int count = 0;
    wchar_t** arguments = CommandLineToArgvW(config->lpBinaryPathName, &count);
    std::vector<std::string> texts;
    for (int i = 1; arguments != nullptr && i < count; ++i) {
        texts.push_back(Narrow(arguments[i]));
    }
    LocalFree(arguments);
    return texts;
}

bool UninstallService(const std::string& name, const std::vector<std::string>& folders,
                      std::vector<std::string>& notes, std::string& error) {
    const std::wstring wide = Widen(name).value_or(L"");
    const ServiceHandle manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
    const ServiceHandle service(manager ? OpenServiceW(manager.get(), wide.c_str(),
                                                       SERVICE_STOP | SERVICE_QUERY_STATUS | DELETE)
                                        : nullptr);
    if (!service) {
        error = Failure("cannot remove the service " + name, GetLastError());
        return false;
    }
    SERVICE_STATUS status{};
    if (ControlService(service.get(), SERVICE_CONTROL_STOP, &status) &&
        WaitWhile(service.get(), SERVICE_STOP_PENDING) != SERVICE_STOPPED) {
        notes.push_back("warning: the service " + name + " did not stop within a minute");
    }
    const OwnedSid sid = ServiceAccountSid(wide);
    for (const std::string& folder : folders) {
        const DWORD code = sid ? ChangeAccess(folder, sid.get(), REVOKE_ACCESS, 0) : GetLastError();
        if (code != ERROR_SUCCESS) {
            notes.push_back("warning: cannot take back the service's access to " + folder + ": " +
                            SystemText(code));
        }
    }
    if (!DeleteService(service.get())) {
        error = Failure("cannot remove the service " + name, GetLastError());
        return false;
    }
    if (std::string why; !RemoveEventSourceName(wide, why)) {
        notes.push_back("warning: cannot remove the service's event source: " + why);
    }
    return true;
}

std::optional<int> RunAsService(const std::string& name, const std::function<int()>& body,
                                std::string& error) {
    static ServiceRun run;
    run.name = Widen(name).value_or(L"");
    run.body = &body;
    theRun = &run;
    SERVICE_TABLE_ENTRYW table[] = {{run.name.data(), ServiceMain}, {nullptr, nullptr}};
    if (!StartServiceCtrlDispatcherW(table)) {
        const DWORD code = GetLastError();
        error = code == ERROR_FAILED_SERVICE_CONTROLLER_CONNECT
                    ? "only the service manager starts the service " + name + " (net start " +
                          name + "); to watch from a console, use --watch"
                    : Failure("cannot run the service " + name, code);
        return std::nullopt;
    }
    return run.exitStatus;
}

}  // namespace segweld::os
