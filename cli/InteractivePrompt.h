#pragma once
// The interactive prompt: libedit's line editor fed one whole key at a time (its unbuffered mode),
// so the poll() loop keeps running while a line is being typed and never waits for the rest of a
// key. The prompt works on the terminal of stdin, opened anew: its reads never block, and the
// editing (the prompt, the typed line, the redraws) stays there, so stdout carries only the output
// even when it is a pipe. Output printed meanwhile appears above the prompt and the half-typed
// line is drawn again below it. The history is the core's store.

#include <histedit.h>

#include <cstdio>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "cli/KeySplitter.h"
#include "core/HistoryStore.h"

// The terminal of stdin, opened for the prompt: reading without blocking, writing as usual.
class PromptTerminal {
  public:
    // Nothing, with errno telling why, when stdin is no terminal that can be opened again.
    static std::unique_ptr<PromptTerminal> Open();
    ~PromptTerminal();
    PromptTerminal(const PromptTerminal&) = delete;
    PromptTerminal& operator=(const PromptTerminal&) = delete;

    int InputFd() const { return input; }
    int OutputFd() const { return fileno(output); }
    FILE* Output() const { return output; }

  private:
    PromptTerminal(int input, FILE* output) : input(input), output(output) {}
    int input;
    FILE* output;
};

class InteractivePrompt {
  public:
    using LineHandler = std::function<void(std::optional<std::string> line)>; // none: Ctrl+D
    using CompletionSource = std::function<std::vector<std::string>()>;
    using Clock = CKeySplitter::Clock;

    // Only one prompt exists at a time: libedit's key functions cannot carry a context.
    // `historyPath` empty: the history of this run only.
    InteractivePrompt(std::unique_ptr<PromptTerminal> terminal, const std::string& historyPath,
                      LineHandler onLine, CompletionSource candidates);
    ~InteractivePrompt(); // puts the terminal back
    InteractivePrompt(const InteractivePrompt&) = delete;
    InteractivePrompt& operator=(const InteractivePrompt&) = delete;

    void Start(); // shows the prompt
    int InputFd() const { return terminal->InputFd(); }
    void OnReadable();       // the terminal has input
    void OnTime();           // resolves a key left incomplete for too long
    int PollTimeout() const; // until then, -1 when no key waits
    void PrintAbove(std::string_view out, std::string_view err);

    unsigned char Complete(); // the Tab key

  private:
    void FeedWholeKeys();
    void EditOneKey();
    void ClearLine();

    std::unique_ptr<PromptTerminal> terminal;
    EditLine* editor = nullptr;
    History* historyList = nullptr;
    CHistoryStore store;
    LineHandler onLine;
    CompletionSource candidates;
    CKeySplitter keys;
    bool ended = false; // Ctrl+D, or the terminal hung up
};

// $XDG_STATE_HOME/vyr/cli_history, else ~/.local/state/vyr/cli_history; empty when neither
// place is known.
std::string CliHistoryPath();
