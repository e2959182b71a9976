#pragma once
// The interactive prompt: libedit's line editor fed one key at a time (its unbuffered mode), so
// the poll() loop keeps running while a line is being typed. Output printed meanwhile appears above
// the prompt and the half-typed line is drawn again below it. The history is the core's store.

#include <histedit.h>

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/HistoryStore.h"

class InteractivePrompt {
  public:
    using LineHandler = std::function<void(std::optional<std::string> line)>; // none: Ctrl+D
    using CompletionSource = std::function<std::vector<std::string>()>;

    // Only one prompt exists at a time: libedit's key functions cannot carry a context.
    InteractivePrompt(const std::string& historyPath, LineHandler onLine,
                      CompletionSource candidates);
    ~InteractivePrompt(); // puts the terminal back
    InteractivePrompt(const InteractivePrompt&) = delete;
    InteractivePrompt& operator=(const InteractivePrompt&) = delete;

    void Start();      // shows the prompt
    void OnReadable(); // stdin has input
    void PrintAbove(std::string_view out, std::string_view err);

    unsigned char Complete(); // the Tab key

  private:
    void ClearLine();

    EditLine* editor = nullptr;
    History* historyList = nullptr;
    CHistoryStore store;
    LineHandler onLine;
    CompletionSource candidates;
    bool started = false;
};

// $XDG_STATE_HOME/vyr/cli_history, else ~/.local/state/vyr/cli_history; empty when neither
// place is known.
std::string CliHistoryPath();
