#include "cli/InteractivePrompt.h"

#include "cli/CliTexts.h"
#include "core/Completion.h"
#include "core/CoreTexts.h"
#include "platform/ConfigPath.h"
#include "platform/WholeFile.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cwchar>

namespace {

constexpr char CTRL_D = 4;
const std::vector<std::string> LOCAL_COMMANDS = {":players", ":kick", ":ban",  ":shutdown", ":help",
                                                 ":quit",    ":seen", ":note", ":search"};

// The escape sequences of the keys the prompt knows, and what each does. Only these reach the
// editor: one it does not know would make it read on for a key that may never come.
struct BoundKey {
    const char* sequence;
    const char* function;
};
constexpr BoundKey BOUND_KEYS[] = {
    {"\033[A", "ed-prev-history"},       {"\033OA", "ed-prev-history"},
    {"\033[B", "ed-next-history"},       {"\033OB", "ed-next-history"},
    {"\033[C", "ed-next-char"},          {"\033OC", "ed-next-char"},
    {"\033[D", "ed-prev-char"},          {"\033OD", "ed-prev-char"},
    {"\033[H", "ed-move-to-beg"},        {"\033OH", "ed-move-to-beg"},
    {"\033[1~", "ed-move-to-beg"},       {"\033[7~", "ed-move-to-beg"},
    {"\033[F", "ed-move-to-end"},        {"\033OF", "ed-move-to-end"},
    {"\033[4~", "ed-move-to-end"},       {"\033[8~", "ed-move-to-end"},
    {"\033[3~", "ed-delete-next-char"},  {"\033[1;5C", "em-next-word"},
    {"\033[1;5D", "ed-prev-word"},       {"\033b", "ed-prev-word"},
    {"\033f", "em-next-word"},           {"\033d", "em-delete-next-word"},
    {"\033\177", "ed-delete-prev-word"},
};
// Keys whose editor function reads a further key itself: unbound, for the same reason.
constexpr const char* UNBOUND_KEYS[] = {"^V", "^X"};

std::set<std::string> BoundSequences() {
    std::set<std::string> sequences;
    for (const BoundKey& key : BOUND_KEYS) {
        sequences.insert(key.sequence);
    }
    return sequences;
}

InteractivePrompt* active = nullptr;

// The bytes of the one key being handed to the editor.
std::string keyBytes;

int ReadKey(EditLine*, wchar_t* key) {
    if (keyBytes.empty()) {
        errno = EAGAIN; // never happens with the keys above; never waits if it does
        return -1;
    }
    std::mbstate_t state{};
    std::size_t used = std::mbrtowc(key, keyBytes.data(), keyBytes.size(), &state);
    if (used == static_cast<std::size_t>(-1) || used == static_cast<std::size_t>(-2) || used == 0) {
        *key = static_cast<unsigned char>(keyBytes.front()); // a byte that is no character
        used = 1;
    }
    keyBytes.erase(0, used);
    return 1;
}

const char* PromptText(EditLine*) {
    return clitexts::PROMPT;
}

unsigned char CompleteKey(EditLine*, int) {
    return active != nullptr ? active->Complete() : CC_ERROR;
}

} // namespace

std::unique_ptr<PromptTerminal> PromptTerminal::Open() {
    const char* name = ttyname(STDIN_FILENO);
    if (name == nullptr) {
        return nullptr;
    }
    // A file description of its own, so that non-blocking reads leave the shell's alone.
    const int input = open(name, O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    const int outputFd = open(name, O_WRONLY | O_NOCTTY | O_CLOEXEC);
    FILE* output = outputFd >= 0 ? fdopen(outputFd, "w") : nullptr;
    if (input < 0 || output == nullptr) {
        const int failure = errno;
        if (input >= 0) {
            close(input);
        }
        if (outputFd >= 0) {
            close(outputFd);
        }
        errno = failure;
        return nullptr;
    }
    return std::unique_ptr<PromptTerminal>(new PromptTerminal(input, output));
}

PromptTerminal::~PromptTerminal() {
    close(input);
    fclose(output);
}

std::string CliHistoryPath() {
    return StateFilePath("vyr/cli_history");
}

InteractivePrompt::InteractivePrompt(std::unique_ptr<PromptTerminal> terminal,
                                     const std::string& historyPath, LineHandler onLine,
                                     CompletionSource candidates)
    : terminal(std::move(terminal)), store(historyPath), onLine(std::move(onLine)),
      candidates(std::move(candidates)), keys(BoundSequences()) {
    active = this;
}

InteractivePrompt::~InteractivePrompt() {
    if (editor != nullptr) {
        el_end(editor); // puts the terminal back
        std::fflush(terminal->Output());
        WriteAll(terminal->OutputFd(), "\r\x1b[K");
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
    FILE* output = terminal->Output();
    editor = el_init_fd("vyr-cli", stdin, output, output, terminal->InputFd(), terminal->OutputFd(),
                        terminal->OutputFd());
    el_set(editor, EL_EDITOR, "emacs");
    el_set(editor, EL_PROMPT, &PromptText);
    el_set(editor, EL_HIST, history, historyList);
    el_set(editor, EL_UNBUFFERED, 1);
    el_set(editor, EL_GETCFN, &ReadKey);
    el_set(editor, EL_ADDFN, "vyr-complete", "Complete a player name or local command",
           &CompleteKey);
    el_set(editor, EL_BIND, "^I", "vyr-complete", nullptr);
    for (const BoundKey& key : BOUND_KEYS) {
        el_set(editor, EL_BIND, key.sequence, key.function, nullptr);
    }
    for (const char* key : UNBOUND_KEYS) {
        el_set(editor, EL_BIND, key, "ed-unassigned", nullptr);
    }
    if (store.LoadedDamaged()) {
        PrintAbove({}, std::string("vyr-cli: ") + texts::HISTORY_DAMAGED + "\n");
    }
}

// Takes what the terminal has, without waiting, and hands on every whole key.
void InteractivePrompt::OnReadable() {
    char chunk[4096];
    const ssize_t n = read(terminal->InputFd(), chunk, sizeof chunk);
    if (n < 0 && (errno == EAGAIN || errno == EINTR)) {
        return;
    }
    if (n <= 0) { // hung up
        ended = true;
        onLine(std::nullopt);
        return;
    }
    keys.Add(std::string_view(chunk, static_cast<std::size_t>(n)), Clock::now());
    FeedWholeKeys();
}

void InteractivePrompt::OnTime() {
    FeedWholeKeys();
}

int InteractivePrompt::PollTimeout() const {
    return keys.MsUntilResolved(Clock::now());
}

void InteractivePrompt::FeedWholeKeys() {
    while (!ended) {
        std::optional<std::string> key = keys.Next(Clock::now());
        if (!key) {
            return;
        }
        keyBytes = std::move(*key);
        // One key is one editor command; the loop only guards against a key it left unread.
        while (!keyBytes.empty() && !ended) {
            const std::size_t before = keyBytes.size();
            EditOneKey();
            if (keyBytes.size() == before) {
                keyBytes.clear();
            }
        }
    }
}

// In unbuffered mode every key returns the line so far; a line ends with its newline.
void InteractivePrompt::EditOneKey() {
    int count = 0;
    const char* typed = el_gets(editor, &count);
    if (typed == nullptr || count <= 0) {
        return; // the line is empty again
    }
    if (count == 1 && typed[0] == CTRL_D) {
        ClearLine();
        ended = true;
        onLine(std::nullopt);
        return;
    }
    if (typed[count - 1] != '\n') {
        return;
    }
    std::string line(typed, static_cast<std::size_t>(count - 1));
    ClearLine(); // libedit leaves a finished line in its buffer in this mode
    std::string failure;
    if (!line.empty()) {
        HistEvent event;
        history(historyList, &event, H_ENTER, line.c_str());
        failure = store.Add(line);
    }
    onLine(std::move(line));
    if (!failure.empty()) {
        PrintAbove({}, "vyr-cli: " + texts::Filled(texts::HISTORY_NOT_SAVED, failure) + "\n");
    } else {
        el_set(editor, EL_REFRESH);
    }
}

// Counted in characters, as the editor counts: a multibyte character is one.
void InteractivePrompt::ClearLine() {
    const LineInfoW* line = el_wline(editor);
    el_cursor(editor, static_cast<int>(line->lastchar - line->cursor));
    el_wdeletestr(editor, static_cast<int>(line->lastchar - line->buffer));
}

void InteractivePrompt::PrintAbove(std::string_view out, std::string_view err) {
    // Clears the prompt line, prints, and draws the prompt with the half-typed line again.
    std::fflush(terminal->Output());
    WriteAll(terminal->OutputFd(), "\r\x1b[K");
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
        el_wdeletestr(editor, static_cast<int>(std::mbstowcs(nullptr, word.c_str(), 0)));
        el_insertstr(editor, common.c_str());
        return CC_REFRESH;
    }
    std::string list = "\r\n";
    for (const std::string& m : found.words) {
        list += m + "  ";
    }
    std::fflush(terminal->Output());
    WriteAll(terminal->OutputFd(), list + "\r\n");
    return CC_REDISPLAY;
}
