#include "os/win32_event_source.h"

#include <algorithm>
#include <atomic>

#include "os/win32_text.h"

namespace segweld::os {
namespace {

// The one message of the program's message table: "%1", the line itself.
constexpr DWORD kLineEvent = 1;

std::wstring SourceKey(const std::wstring& name) {
    return L"SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\" + name;
}

WORD EventType(EventLevel level) {
    switch (level) {
        case EventLevel::Error:
            return EVENTLOG_ERROR_TYPE;
        case EventLevel::Warning:
            return EVENTLOG_WARNING_TYPE;
        case EventLevel::Information:
            break;
    }
    return EVENTLOG_INFORMATION_TYPE;
}

// UTF-16 for the log, with U+FFFD for bytes that are not UTF-8.
std::wstring Loosely(const std::string& text) {
    const int length =
        MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<size_t>(std::max(length, 0)), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(),
                        length);
    return wide;
}

std::atomic<bool> streamsGoToEventLog = false;

}  // namespace

bool RegisterEventSourceName(const std::wstring& name, const std::wstring& module,
                             std::string& error) {
    HKEY key = nullptr;
    LSTATUS status = RegCreateKeyExW(HKEY_LOCAL_MACHINE, SourceKey(name).c_str(), 0, nullptr, 0,
                                     KEY_SET_VALUE, nullptr, &key, nullptr);
    if (status == ERROR_SUCCESS) {
        const DWORD types = EVENTLOG_ERROR_TYPE | EVENTLOG_WARNING_TYPE | EVENTLOG_INFORMATION_TYPE;
        status = RegSetValueExW(key, L"EventMessageFile", 0, REG_EXPAND_SZ,
                                reinterpret_cast<const BYTE*>(module.c_str()),
                                static_cast<DWORD>((module.size() + 1) * sizeof(wchar_t)));
        if (status == ERROR_SUCCESS) {
            status = RegSetValueExW(key, L"TypesSupported", 0, REG_DWORD,
                                    reinterpret_cast<const BYTE*>(&types), sizeof types);
        }
        RegCloseKey(key);
    }
    if (status != ERROR_SUCCESS) {
        error = SystemText(static_cast<DWORD>(status));
    }
    return status == ERROR_SUCCESS;
}

bool RemoveEventSourceName(const std::wstring& name, std::string& error) {
    const LSTATUS status = RegDeleteKeyW(HKEY_LOCAL_MACHINE, SourceKey(name).c_str());
    if (status != ERROR_SUCCESS && status != ERROR_FILE_NOT_FOUND) {
        error = SystemText(static_cast<DWORD>(status));
        return false;
    }
    return true;
}

EventSourceWriter::EventSourceWriter(const std::wstring& name)
    : source_(RegisterEventSourceW(nullptr, name.c_str())),
      lines_([this](EventLevel level, const std::string& text) {
          const std::wstring wide = Loosely(text);
          const wchar_t* strings[] = {wide.c_str()};
          ReportEventW(source_, EventType(level), 0, kLineEvent, nullptr, 1, 0, strings, nullptr);
      }) {}

EventSourceWriter::~EventSourceWriter() {
    lines_.Write("\n");  // a last line without its break
    if (source_ != nullptr) {
        DeregisterEventSource(source_);
    }
}

bool StreamsGoToEventLog() {
    return streamsGoToEventLog;
}

void MarkStreamsAsEventLog() {
    streamsGoToEventLog = true;
}

}  // namespace segweld::os
