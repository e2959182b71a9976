#include "ui/AdminApp.h"

#include <QApplication>
#include <QEventLoop>
#include <string_view>

#include "res/Version.h"
#include "ui/AppIcon.h"
#include "ui/MainWindow.h"
#include "ui/QtMessageBox.h"

std::optional<int> CAdminApp::HandleCommandLine(int argc, const char* const* argv,
                                                std::ostream& out, std::ostream& err) {
    for (int i = 1; i < argc; ++i) {
        const std::string_view argument = argv[i];
        if (argument == "--version") {
            out << "vyr-admin " << version::FULL << '\n';
            return 0;
        }
        if (argument == "--help" || argument == "-h") {
            out << "Usage: vyr-admin [--version | --help]\n"
                   "Opens the "
                << version::FILE_DESCRIPTION
                << " window. The login fields are kept in\n"
                   "$XDG_CONFIG_HOME/vyr.ini (by default ~/.config/vyr.ini), the saved servers\n"
                   "in $XDG_CONFIG_HOME/vyr/servers.toml.\n";
            return 0;
        }
        if (argument.substr(0, 2) == "--") {
            err << "vyr-admin: unknown option " << argument << "\nTry 'vyr-admin --help'.\n";
            return 2;
        }
    }
    return std::nullopt;
}

bool CAdminApp::InitInstance() {
    QApplication::setWindowIcon(AppIcon());
    QGuiApplication::setDesktopFileName(QStringLiteral("vyr-admin"));
    CMainWindow window;
    const MessageBoxHook previous = SetMessageBoxHook(QtMessageBox(&window));
    const QuestionBoxHook previousQuestion = SetQuestionBoxHook(QtQuestionBox(&window));
    QEventLoop untilClosed;
    QObject::connect(&window, &CMainWindow::closed, &untilClosed, &QEventLoop::quit);
    window.show();
    untilClosed.exec();
    SetQuestionBoxHook(previousQuestion);
    SetMessageBoxHook(previous);
    return false;
}
