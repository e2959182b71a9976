#include "cli/InteractivePrompt.h"

#include "cli/CliTexts.h"
#include "core/Completion.h"
#include "core/CoreTexts.h"
#include "platform/ConfigPath.h"
#include "platform/WholeFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cwchar>

namespace {

constexpr char CTRL_D = 4;
const std::vector<std::string> LOCAL_COMMANDS = {":players", ":kick", ":ban",  ":shutdown", ":help",
                                                 ":quit",    ":seen", ":note", ":search"};

InteractivePrompt* active = nullptr;

// In unbuffered mode el_gets answers an empty line and the end of input alike, so the keys are
// read here, where the end shows. A byte that is no character of the locale stands for itself.
bool inputEnded = false;

int ReadKey(EditLine*, wchar_t* key) {
    std::mbstate_t state{};
    for (;;) {
        char byte = 0;
        const ssize_t n = read(STDIN_FILENO, &byte, 1);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            inputEnded = true;
            return 0;
        }
        const std::size_t used = std::mbrtowc(key, &byte, 1, &state);
        if (used == static_cast<std::size_t>(-2)) {
            continue; // more bytes of the character follow
        }
        if (used == static_cast<std::size_t>(-1)) {
            *key = static_cast<unsigned char>(byte);
        }
        return 1;
    }
}

const char* PromptText(EditLine*) {
    return clitexts::PROMPT;
}

unsigned char CompleteKey(EditLine*, int) {
    return active != nullptr ? active->Complete() : CC_ERROR;
}

} // namespace

std::string CliHistoryPath() {
    return StateFilePath("vyr/cli_history");
}

InteractivePrompt::InteractivePrompt(const std::string& historyPath, LineHandler onLine,
                                     CompletionSource candidates)
    : store(historyPath), onLine(std::move(onLine)), candidates(std::move(candidates)) {
    active = this;
}

InteractivePrompt::~InteractivePrompt() {
    if (editor != nullptr) {
        el_end(editor); // puts the terminal back
        WriteAll(STDOUT_FILENO, "\r\x1b[K");
        history_end(historyList);
    }
    active = nullptr;
}

void InteractivePrompt::Start() {
    HistEvent event;
    historyList = history_init();
    history(historyList, &event, H_SETSIZE, static_cast<int>(MAX_HISTORY));
    for (const std::string& command : store.Commands()) {
        history(historyList, &event, H_ENTER, command.c_str());
    }
    editor = el_init("vyr-cli", stdin, stdout, stderr);
    el_set(editor, EL_EDITOR, "emacs");
    el_set(editor, EL_PROMPT, &PromptText);
    el_set(editor, EL_HIST, history, historyList);
    el_set(editor, EL_UNBUFFERED, 1);
    el_set(editor, EL_GETCFN, &ReadKey);
    el_set(editor, EL_ADDFN, "vyr-complete", "Complete a player name or local command",
           &CompleteKey);
    el_set(editor, EL_BIND, "^I", "vyr-complete", nullptr);
}

// In unbuffered mode every key returns the line so far; a line ends with its newline.
void InteractivePrompt::OnReadable() {
    int count = 0;
    const char* typed = el_gets(editor, &count);
    if (inputEnded) {
        onLine(std::nullopt); // stdin closed
        return;
    }
    if (typed == nullptr || count <= 0) {
        return; // the line is empty again
    }
    if (count == 1 && typed[0] == CTRL_D) {
        ClearLine();
        onLine(std::nullopt);
        return;
    }
    if (typed[count - 1] != '\n') {
        return;
    }
    std::string line(typed, static_cast<std::size_t>(count - 1));
    ClearLine(); // libedit leaves a finished line in its buffer in this mode
    if (!line.empty()) {
        HistEvent event;
        history(historyList, &event, H_ENTER, line.c_str());
        if (const std::string failure = store.Add(line); !failure.empty()) {
            PrintAbove({}, "vyr-cli: " + texts::Filled(texts::HISTORY_NOT_SAVED, failure) + "\n");
        }
    }
    onLine(std::move(line));
    el_set(editor, EL_REFRESH);
}

void InteractivePrompt::ClearLine() {
    const LineInfo* line = el_line(editor);
    el_cursor(editor, static_cast<int>(line->lastchar - line->cursor));
    el_deletestr(editor, static_cast<int>(line->lastchar - line->buffer));
}

void InteractivePrompt::PrintAbove(std::string_view out, std::string_view err) {
    // Clears the prompt line, prints, and draws the prompt with the half-typed line again.
    WriteAll(STDOUT_FILENO, "\r\x1b[K");
    WriteAll(STDOUT_FILENO, out);
    WriteAll(STDERR_FILENO, err);
    el_set(editor, EL_REFRESH);
}

// Completes the word before the cursor: a local command at the start of the line, else a player
// name. Several candidates: their common start, or the list of them.
unsigned char InteractivePrompt::Complete() {
    const LineInfo* line = el_line(editor);
    const std::string before(line->buffer, line->cursor);
    const Completions found =
        CompletionsAt(before, before.size(), store.Commands(), LOCAL_COMMANDS, candidates());
    if (found.words.empty()) {
        return CC_REFRESH_BEEP;
    }
    std::string common = CommonStart(found.words);
    if (found.words.size() == 1) {
        common += ' ';
    }
    const std::string word = before.substr(found.wordStart);
    if (common.size() > word.size()) {
        // Letter case may differ from what was typed: the word is replaced whole.
        el_deletestr(editor, static_cast<int>(word.size()));
        el_insertstr(editor, common.c_str());
        return CC_REFRESH;
    }
    std::string list = "\r\n";
    for (const std::string& m : found.words) {
        list += m + "  ";
    }
    WriteAll(STDOUT_FILENO, list + "\r\n");
    return CC_REDISPLAY;
}
