// Runs a program on Windows: CreateProcessW with the arguments quoted as the C
// runtime splits them again, standard output and error read on threads of
// their own so that neither pipe fills while the other is waited on.

#include <windows.h>

#include <stdexcept>
#include <thread>

#include "os/win32_text.h"
#include "tests/support/run_program.h"

namespace segweld::test {
namespace {

std::wstring WideOrThrow(const std::string& text) {
    const auto wide = os::Widen(text);
    if (!wide) {
        throw std::runtime_error("not UTF-8: " + text);
    }
    return *wide;
}

// Collects what a pipe carries, with the C runtime's CR LF line endings read
// as LF: the programs' texts are compared with those they print on Linux.
void Drain(HANDLE pipe, std::string& sink) {
    char buffer[4096];
    DWORD got = 0;
    while (ReadFile(pipe, buffer, sizeof buffer, &got, nullptr) && got > 0) {
        sink.append(buffer, got);
    }
    CloseHandle(pipe);
    size_t kept = 0;
    for (size_t i = 0; i < sink.size(); ++i) {
        if (!(sink[i] == '\r' && i + 1 < sink.size() && sink[i + 1] == '\n')) {
            sink[kept++] = sink[i];
        }
    }
    sink.resize(kept);
}

// This process's environment with `settings` (NAME=value) added, as the
// block CreateProcessW takes.
std::wstring EnvironmentWith(const std::vector<std::string>& settings) {
    std::wstring block;
    wchar_t* own = GetEnvironmentStringsW();
    for (const wchar_t* entry = own; *entry != L'\0'; entry += wcslen(entry) + 1) {
        block.append(entry).push_back(L'\0');
    }
    FreeEnvironmentStringsW(own);
    for (const std::string& setting : settings) {
        block.append(WideOrThrow(setting)).push_back(L'\0');
    }
    block.push_back(L'\0');
    return block;
}

}  // namespace

bool FileSizeLimitsExist() {
    return false;
}

bool FifosExist() {
    return false;
}

bool MakeFifo(const std::string&) {
    return false;
}

ProgramResult RunProgram(const std::vector<std::string>& arguments, const RunOptions& options) {
    if (options.fileSizeLimit) {
        throw std::runtime_error("Windows has no file size limit per process");
    }
    std::wstring commandLine;
    for (const std::string& argument : arguments) {
        commandLine +=
            (commandLine.empty() ? L"" : L" ") + os::QuotedArgument(WideOrThrow(argument));
    }
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE outRead, outWrite, errRead, errWrite;
    if (!CreatePipe(&outRead, &outWrite, &inherit, 0) ||
        !CreatePipe(&errRead, &errWrite, &inherit, 0)) {
        throw std::runtime_error("CreatePipe failed");
    }
    SetHandleInformation(outRead, HANDLE_FLAG_INHERIT, 0);
    SetHandleInformation(errRead, HANDLE_FLAG_INHERIT, 0);
    HANDLE input = CreateFileW(L"NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                               OPEN_EXISTING, 0, nullptr);

    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = options.closedStandardStreams ? nullptr : input;
    startup.hStdOutput = options.closedStandardStreams ? nullptr : outWrite;
    startup.hStdError = errWrite;
    PROCESS_INFORMATION process{};
    const std::wstring folder =
        options.workingFolder.empty() ? L"" : WideOrThrow(options.workingFolder);
    const std::wstring application = WideOrThrow(arguments.at(0));
    std::wstring environment = EnvironmentWith(options.environment);
    const BOOL started =
        CreateProcessW(application.c_str(), commandLine.data(), nullptr, nullptr, TRUE,
                       CREATE_NO_WINDOW | CREATE_UNICODE_ENVIRONMENT, environment.data(),
                       folder.empty() ? nullptr : folder.c_str(), &startup, &process);
    CloseHandle(outWrite);
    CloseHandle(errWrite);
    CloseHandle(input);
    ProgramResult result;
    if (!started) {
        CloseHandle(outRead);
        CloseHandle(errRead);
        result.exitCode = 127;
        return result;
    }
    std::thread outReader(Drain, outRead, std::ref(result.out));
    Drain(errRead, result.err);
    outReader.join();
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD status = 0;
    GetExitCodeProcess(process.hProcess, &status);
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
    result.exitCode = static_cast<int>(status);
    return result;
}

}  // namespace segweld::test
