// Child processes of the tests: their output goes to a temporary file, read while they run or
// once they have ended.
#include "childprocess.h"

#include <optional>

namespace quorvin::testing {

namespace {

// Sets the variables for the time of a child's start; the child inherits them.
class ScopedEnvironment {
public:
    explicit ScopedEnvironment(const EnvironmentValues& values) {
        for (const auto& [name, value] : values) {
            saved_.emplace_back(name, current(name));
            SetEnvironmentVariableW(name.c_str(), value.c_str());
        }
    }
    ~ScopedEnvironment() {
        for (const auto& [name, value] : saved_) {
            SetEnvironmentVariableW(name.c_str(), value ? value->c_str() : nullptr);
        }
    }
    ScopedEnvironment(const ScopedEnvironment&) = delete;
    ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

    static std::optional<std::wstring> current(const std::wstring& name) {
        const DWORD size = GetEnvironmentVariableW(name.c_str(), nullptr, 0);
        if (size == 0) {
            return std::nullopt;
        }
        std::wstring value(size, L'\0');
        value.resize(GetEnvironmentVariableW(name.c_str(), value.data(), size));
        return value;
    }

private:
    std::vector<std::pair<std::wstring, std::optional<std::wstring>>> saved_;
};

// A temporary file that the child inherits as its output; deleted once the last handle goes.
HANDLE inheritableTempFile(std::wstring& path) {
    wchar_t folder[MAX_PATH] = {};
    wchar_t name[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, folder);
    GetTempFileNameW(folder, L"qch", 0, name);
    path = name;
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    return CreateFileW(
        name, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
        &inherit, CREATE_ALWAYS, FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
}

// Reads the file from its start through a handle of its own: the child's handle shares its file
// position with the one it inherited from, and a read through that one would move it.
std::string readAll(const std::wstring& path) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return {};
    }
    std::string text;
    char buffer[4096];
    DWORD got = 0;
    while (ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0) {
        text.append(buffer, got);
    }
    CloseHandle(file);
    return text;
}

// Under Wine a crashing child would start the debugger and wait for it: it is switched off.
EnvironmentValues withoutDebugger(EnvironmentValues environment) {
    const std::wstring off = L"winedbg.exe=d";
    for (auto& [name, value] : environment) {
        if (name == L"WINEDLLOVERRIDES") {
            value += L";" + off;
            return environment;
        }
    }
    const std::optional<std::wstring> current = ScopedEnvironment::current(L"WINEDLLOVERRIDES");
    environment.emplace_back(L"WINEDLLOVERRIDES", current ? *current + L";" + off : off);
    return environment;
}

} // namespace

RunningChild::RunningChild(const std::wstring& program, const std::wstring& arguments,
                           const EnvironmentValues& environment)
    : output_(inheritableTempFile(outputPath_)) {
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = output_;
    startup.hStdError = output_;
    std::wstring commandLine = L"\"" + program + L"\" " + arguments;
    ScopedEnvironment scoped(withoutDebugger(environment));
    if (!CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr,
                        nullptr, &startup, &process_)) {
        process_ = PROCESS_INFORMATION{};
    }
}

RunningChild::~RunningChild() {
    if (started()) {
        TerminateProcess(process_.hProcess, 99);
        WaitForSingleObject(process_.hProcess, INFINITE);
        CloseHandle(process_.hThread);
        CloseHandle(process_.hProcess);
    }
    if (output_ != INVALID_HANDLE_VALUE) {
        CloseHandle(output_);
    }
}

std::string RunningChild::output() const {
    return readAll(outputPath_);
}

bool RunningChild::waitForOutput(const std::string& text, DWORD timeoutMs) {
    const ULONGLONG end = GetTickCount64() + timeoutMs;
    while (output().find(text) == std::string::npos) {
        if (!started() || GetTickCount64() >= end ||
            WaitForSingleObject(process_.hProcess, 50) == WAIT_OBJECT_0) {
            return output().find(text) != std::string::npos;
        }
    }
    return true;
}

ChildOutcome RunningChild::waitForEnd(DWORD timeoutMs) {
    ChildOutcome outcome;
    if (!started()) {
        outcome.exitCode = static_cast<DWORD>(-1);
        outcome.output = "the child could not be started";
        return outcome;
    }
    if (WaitForSingleObject(process_.hProcess, timeoutMs) != WAIT_OBJECT_0) {
        outcome.timedOut = true;
        TerminateProcess(process_.hProcess, 99);
        WaitForSingleObject(process_.hProcess, INFINITE);
    }
    GetExitCodeProcess(process_.hProcess, &outcome.exitCode);
    outcome.output = output();
    return outcome;
}

ChildOutcome runChild(const std::wstring& program, const std::wstring& arguments,
                      const EnvironmentValues& environment, DWORD timeoutMs) {
    return RunningChild(program, arguments, environment).waitForEnd(timeoutMs);
}

std::wstring ownProgramPath() {
    std::wstring path(32768, L'\0');
    path.resize(GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size())));
    return path;
}

std::wstring besideOwnProgram(const std::wstring& relative) {
    std::wstring path = ownProgramPath();
    return path.substr(0, path.find_last_of(L"\\/") + 1) + relative;
}

} // namespace quorvin::testing
