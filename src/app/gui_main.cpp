// quorvin.exe: starts the worker pool, the socket library and the interrupt handler, then runs
// the main window until it is closed.
#include "app/mainwindow.h"
#include "async/plainsockets.h"
#include "async/threadpool.h"
#include "runtime/process.h"
#include "server/launch.h"

#include <windows.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    // Before anything loads a library by name: never one planted beside the program.
    quorvin::restrictLibrarySearch();
    quorvin::setReportInMessageBox(true);
    quorvin::installFatalSignalHandlers();
    return quorvin::runMain([] {
        quorvin::startThreadPool();
        quorvin::startupSockets();
        quorvin::installInterruptHandler();
        quorvin::buildMainWindow();
        // The server thread is neither stopped nor joined: it ends with the process.
        return 0;
    });
}
