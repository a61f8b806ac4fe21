// Runs beside a planted msftedit.dll and tells which rich edit library the process got.
// "toolkit": the toolkit's text control; "start": the program's start, then a plain load by
// name; "plain": a plain load by name alone (the planted library must win: the test is sound).
// Exit status: 0 the system's library, 2 the planted one, 3 no rich edit control at all.
#include "runtime/process.h"
#include "toolkit/app.h"
#include "toolkit/frame.h"
#include "toolkit/textctrl.h"

#include <cstdio>
#include <string>

namespace {

bool plantedLoaded() {
    return GetEnvironmentVariableW(L"QUORVIN_PLANTED_LIBRARY", nullptr, 0) != 0;
}

bool richEditFromToolkit() {
    quorvin::wApp app;
    quorvin::wFrame frame("probe", quorvin::wSize{300, 200});
    try {
        quorvin::wTextCtrl text(&frame, "probe");
        return text.isRich();
    } catch (const std::exception&) {
        return false;
    }
}

} // namespace

int main(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "";
    bool rich = false;
    if (mode == "toolkit") {
        rich = richEditFromToolkit();
    } else {
        if (mode == "start") {
            quorvin::restrictLibrarySearch();
        }
        rich = LoadLibraryW(L"msftedit.dll") != nullptr;
    }
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(GetModuleHandleW(L"msftedit.dll"), path, MAX_PATH);
    std::printf("msftedit.dll from %ls\n", path);
    return plantedLoaded() ? 2 : rich ? 0 : 3;
}
