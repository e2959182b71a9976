#include "cli/InteractivePrompt.h"

#include <editline/readline.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>

namespace {

constexpr char PROMPT[] = "vyr> ";
constexpr int HISTORY_LINES = 1000;

InteractivePrompt* active = nullptr;
std::vector<std::string> matchPool; // the candidates of the completion in progress

void WriteAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t n = write(fd, bytes.data(), bytes.size());
        if (n <= 0) {
            return;
        }
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
}

// Creates the folders of `path` that are missing, private to the user.
bool MakeParentFolders(const std::string& path) {
    for (std::size_t slash = path.find('/', 1); slash != std::string::npos;
         slash = path.find('/', slash + 1)) {
        const std::string folder = path.substr(0, slash);
        if (mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) {
            return false;
        }
    }
    return true;
}

} // namespace

std::string CliHistoryPath() {
    const char* state = std::getenv("XDG_STATE_HOME");
    if (state != nullptr && state[0] == '/') {
        return std::string(state) + "/vyr/cli_history";
    }
    const char* home = std::getenv("HOME");
    if (home != nullptr && home[0] == '/') {
        return std::string(home) + "/.local/state/vyr/cli_history";
    }
    return {};
}

InteractivePrompt::InteractivePrompt(std::string historyPath, LineHandler onLine,
                                     CompletionSource candidates)
    : historyPath(std::move(historyPath)), onLine(std::move(onLine)),
      candidates(std::move(candidates)) {
    active = this;
}

InteractivePrompt::~InteractivePrompt() {
    if (started) {
        rl_callback_handler_remove();
        if (!historyPath.empty() && MakeParentFolders(historyPath)) {
            // Created private before libedit writes into it; an existing file is made private.
            const int fd = open(historyPath.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
            if (fd >= 0) {
                fchmod(fd, 0600);
                close(fd);
                write_history(historyPath.c_str());
                history_truncate_file(historyPath.c_str(), HISTORY_LINES);
            }
        }
    }
    active = nullptr;
}

void InteractivePrompt::Start() {
    rl_readline_name = "vyr-cli";
    rl_attempted_completion_function = &InteractivePrompt::Complete;
    using_history();
    stifle_history(HISTORY_LINES);
    if (!historyPath.empty()) {
        read_history(historyPath.c_str());
    }
    rl_callback_handler_install(PROMPT, &InteractivePrompt::LineCallback);
    started = true;
}

void InteractivePrompt::OnReadable() {
    rl_callback_read_char();
}

void InteractivePrompt::PrintAbove(std::string_view out, std::string_view err) {
    // Clears the prompt line, prints, and draws the prompt with the half-typed line again.
    WriteAll(STDOUT_FILENO, "\r\x1b[K");
    WriteAll(STDOUT_FILENO, out);
    WriteAll(STDERR_FILENO, err);
    rl_forced_update_display();
}

void InteractivePrompt::LineCallback(char* line) {
    std::optional<std::string> text;
    if (line != nullptr) {
        text = line;
        if (line[0] != '\0') {
            add_history(line);
        }
        std::free(line);
    }
    if (active != nullptr) {
        active->onLine(std::move(text));
    }
}

char** InteractivePrompt::Complete(const char* text, int, int) {
    rl_attempted_completion_over = 1; // never fall back to file names
    matchPool.clear();
    if (active != nullptr) {
        const bool local = text[0] == ':';
        if (local) {
            matchPool = {":players", ":kick", ":ban", ":shutdown", ":help", ":quit"};
        } else {
            matchPool = active->candidates();
        }
    }
    return rl_completion_matches(text, &InteractivePrompt::NextCandidate);
}

char* InteractivePrompt::NextCandidate(const char* text, int state) {
    static std::size_t next = 0;
    if (state == 0) {
        next = 0;
    }
    const std::size_t length = std::strlen(text);
    while (next < matchPool.size()) {
        const std::string& candidate = matchPool[next++];
        if (candidate.compare(0, length, text) == 0) {
            return strdup(candidate.c_str());
        }
    }
    return nullptr;
}
