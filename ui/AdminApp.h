#pragma once
// The application: runs the main window; the process lives as long as the window.

#include <optional>
#include <ostream>

class CAdminApp {
  public:
    // Answers --version and --help before any window system is needed, and refuses other
    // "--" options. The exit code when the program is to end here, else nothing. Qt's own
    // single-dash options (-platform, -style, ...) pass through.
    static std::optional<int> HandleCommandLine(int argc, const char* const* argv,
                                                std::ostream& out, std::ostream& err);

    // Runs the main window until it closes; false, so that the process then ends.
    bool InitInstance();
};
