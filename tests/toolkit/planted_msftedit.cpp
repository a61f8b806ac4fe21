// A library named like the rich edit library, planted beside a probe program: it only tells the
// process that it was loaded, as planted code could do anything.
#include <windows.h>

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        SetEnvironmentVariableW(L"QUORVIN_PLANTED_LIBRARY", L"loaded");
    }
    return TRUE;
}
