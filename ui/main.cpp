#include <QApplication>
#include <iostream>

#include "ui/AdminApp.h"

int main(int argc, char* argv[]) {
    if (const std::optional<int> exitCode =
            CAdminApp::HandleCommandLine(argc, argv, std::cout, std::cerr)) {
        return *exitCode;
    }
    QApplication application(argc, argv);
    CAdminApp app;
    app.InitInstance();
    return 0;
}
