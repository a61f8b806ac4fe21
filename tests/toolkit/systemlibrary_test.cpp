// Libraries from the system folder only: a rich edit library planted beside the program, with
// the loader told to prefer a native copy, is never loaded.
#include "childprocess.h"
#include "runtime/utf.h"
#include "server/tempfolder.h"
#include "testclient.h"

#include <tlhelp32.h>

#include <gtest/gtest.h>

namespace quorvin::testing {
namespace {

// Wine then takes a native msftedit.dll first, as Windows does for a library that is not a
// known one.
const EnvironmentValues preferPlantedLibrary = {
    {L"WINEDLLOVERRIDES", L"msftedit=n,b;mscoree,mshtml="}};

// Runs the probe beside the planted library.
ChildOutcome runProbe(const wchar_t* mode) {
    return runChild(besideOwnProgram(L"planted\\richedit_probe.exe"), mode, preferPlantedLibrary);
}

TEST(SystemLibraries, APlainLoadByNameTakesThePlantedLibrary) {
    // The premise of the tests below: without care, the planted copy is the one loaded.
    ChildOutcome outcome = runProbe(L"plain");
    EXPECT_EQ(outcome.exitCode, 2u) << outcome.output;
}

TEST(SystemLibraries, TheTextControlLoadsTheSystemsRichEditLibrary) {
    ChildOutcome outcome = runProbe(L"toolkit");
    EXPECT_EQ(outcome.exitCode, 0u) << outcome.output;
}

TEST(SystemLibraries, AfterTheProgramsStartNoLoadByNameTakesThePlantedLibrary) {
    ChildOutcome outcome = runProbe(L"start");
    EXPECT_EQ(outcome.exitCode, 0u) << outcome.output;
}

// Has the process load the library by name on a thread of its own, as any code running in it
// could (the loader's search rules are the process's own); true when the load succeeded.
bool loadByNameInside(HANDLE process, const std::wstring& name) {
    const SIZE_T bytes = (name.size() + 1) * sizeof(wchar_t);
    void* remoteName =
        VirtualAllocEx(process, nullptr, bytes, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    if (remoteName == nullptr ||
        !WriteProcessMemory(process, remoteName, name.c_str(), bytes, nullptr)) {
        return false;
    }
    // kernel32 lies at the same address in every process of a session.
    auto loadLibrary = reinterpret_cast<LPTHREAD_START_ROUTINE>(reinterpret_cast<void (*)()>(
        GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "LoadLibraryW")));
    HANDLE thread = CreateRemoteThread(process, nullptr, 0, loadLibrary, remoteName, 0, nullptr);
    DWORD loaded = 0;
    if (thread != nullptr) {
        WaitForSingleObject(thread, 10000);
        GetExitCodeThread(thread, &loaded);
        CloseHandle(thread);
    }
    VirtualFreeEx(process, remoteName, 0, MEM_RELEASE);
    return loaded != 0;
}

// The file of the process's module of this name, or empty when it has none.
std::wstring modulePathIn(DWORD processId, const std::wstring& name) {
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, processId);
    if (snapshot == INVALID_HANDLE_VALUE) {
        return {};
    }
    MODULEENTRY32W module{};
    module.dwSize = sizeof module;
    std::wstring path;
    for (BOOL more = Module32FirstW(snapshot, &module); more && path.empty();
         more = Module32NextW(snapshot, &module)) {
        if (_wcsicmp(module.szModule, name.c_str()) == 0) {
            path = module.szExePath;
        }
    }
    CloseHandle(snapshot);
    return path;
}

std::wstring systemFolder() {
    wchar_t folder[MAX_PATH] = {};
    const UINT length = GetSystemDirectoryW(folder, MAX_PATH);
    return std::wstring(folder, length < MAX_PATH ? length : 0);
}

TEST(SystemLibraries, OnceTheConsoleServerHasStartedNoLoadByNameTakesThePlantedLibrary) {
    // The server and the planted library downloaded into one folder, and the server started.
    TempFolder downloads;
    downloads.makeFolder("site");
    const std::wstring folder = toWide(downloads.path()) + L"\\";
    ASSERT_TRUE(CopyFileW(besideOwnProgram(QUORVIN_SERVE_PROGRAM).c_str(),
                          (folder + L"quorvin-serve.exe").c_str(), FALSE));
    ASSERT_TRUE(CopyFileW(besideOwnProgram(L"planted\\msftedit.dll").c_str(),
                          (folder + L"msftedit.dll").c_str(), FALSE));
    const std::uint16_t port = probeFreePort();
    ASSERT_NE(port, 0);
    RunningChild server(folder + L"quorvin-serve.exe",
                        L"--port " + std::to_wstring(port) + L" \"" + folder + L"site\"",
                        preferPlantedLibrary);
    ASSERT_TRUE(server.started());
    ASSERT_TRUE(server.waitForOutput(" started on port: ", 10000)) << server.output();

    ASSERT_TRUE(loadByNameInside(server.process(), L"msftedit.dll")) << server.output();
    const std::wstring loaded = modulePathIn(server.processId(), L"msftedit.dll");
    ASSERT_FALSE(loaded.empty()) << "the server holds no msftedit.dll";
    const std::wstring system = systemFolder() + L"\\";
    ASSERT_GT(system.size(), 1u);
    EXPECT_EQ(_wcsnicmp(loaded.c_str(), system.c_str(), system.size()), 0)
        << "msftedit.dll came from " << fromWide(loaded);
}

} // namespace
} // namespace quorvin::testing
