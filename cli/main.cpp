// vyr-cli: the terminal and scripting front end of Vyr Remote Server Admin.

#include <clocale>
#include <iostream>
#include <string>
#include <vector>

#include "cli/CliOptions.h"
#include "cli/CliRun.h"
#include "cli/CliSession.h"

int main(int argc, char** argv) {
    std::setlocale(LC_CTYPE, ""); // the line editor reads the terminal's multibyte characters
    const ParsedCliOptions parsed =
        ParseCliOptions(std::vector<std::string>(argv + 1, argv + argc));
    switch (parsed.action) {
    case ParsedCliOptions::Action::Help:
        std::cout << CliHelpText();
        return EXIT_OK;
    case ParsedCliOptions::Action::Version:
        std::cout << "vyr-cli " << VYR_VERSION << '\n';
        return EXIT_OK;
    case ParsedCliOptions::Action::Error:
        std::cerr << "vyr-cli: " << parsed.error << "\nUsage: vyr-cli [OPTION]... [COMMAND]...\n"
                  << CliUsageHint() << '\n';
        return EXIT_USAGE;
    case ParsedCliOptions::Action::Run:
        break;
    }
    return RunCli(parsed.options);
}
