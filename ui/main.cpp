#include <QApplication>
#include <iostream>

#include "platform/SecretMemory.h"
#include "ui/AdminApp.h"

int main(int argc, char* argv[]) {
    // The password field (and a saved password) may hold the password at any time of the run.
    KeepOutOfCoreDumps();
    if (const std::optional<int> exitCode =
            CAdminApp::HandleCommandLine(argc, argv, std::cout, std::cerr)) {
        return *exitCode;
    }
    QApplication application(argc, argv);
    CAdminApp app;
    // As on the platform the window comes from: a false start-up ends the program at once, the
    // main window having run and closed inside it.
    return app.InitInstance() ? QApplication::exec() : 0;
}
