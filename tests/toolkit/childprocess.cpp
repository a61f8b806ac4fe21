// Child processes of the tests: their output goes to a temporary file that is read at the end.
#include "childprocess.h"

#include <optional>

namespace quorvin::testing {

namespace {

// Sets the variables for the time of a child's start; the child inherits them.
class ScopedEnvironment {
public:
    explicit ScopedEnvironment(const std::vector<std::pair<std::wstring, std::wstring>>& values) {
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

HANDLE inheritableTempFile() {
    wchar_t folder[MAX_PATH] = {};
    wchar_t path[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, folder);
    GetTempFileNameW(folder, L"qch", 0, path);
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    return CreateFileW(
        path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
        &inherit, CREATE_ALWAYS, FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
}

std::string readAll(HANDLE file) {
    SetFilePointer(file, 0, nullptr, FILE_BEGIN);
    std::string text;
    char buffer[4096];
    DWORD got = 0;
    while (ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0) {
        text.append(buffer, got);
    }
    return text;
}

// Under Wine a crashing child would start the debugger and wait for it: it is switched off.
std::vector<std::pair<std::wstring, std::wstring>>
withoutDebugger(std::vector<std::pair<std::wstring, std::wstring>> environment) {
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

ChildOutcome runChild(const std::wstring& program, const std::wstring& arguments,
                      const std::vector<std::pair<std::wstring, std::wstring>>& environment,
                      DWORD timeoutMs) {
    ChildOutcome outcome;
    HANDLE output = inheritableTempFile();
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = output;
    startup.hStdError = output;
    std::wstring commandLine = L"\"" + program + L"\" " + arguments;
    PROCESS_INFORMATION process{};
    BOOL started = FALSE;
    {
        ScopedEnvironment scoped(withoutDebugger(environment));
        started = CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, TRUE, 0,
                                 nullptr, nullptr, &startup, &process);
    }
    if (!started) {
        outcome.exitCode = static_cast<DWORD>(-1);
        outcome.output = "the child could not be started";
        CloseHandle(output);
        return outcome;
    }
    if (WaitForSingleObject(process.hProcess, timeoutMs) != WAIT_OBJECT_0) {
        outcome.timedOut = true;
        TerminateProcess(process.hProcess, 99);
        WaitForSingleObject(process.hProcess, INFINITE);
    }
    GetExitCodeProcess(process.hProcess, &outcome.exitCode);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    outcome.output = readAll(output);
    CloseHandle(output);
    return outcome;
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
