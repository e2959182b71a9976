#pragma once
// vyr-cli's questions to the player memory, with a connection (:seen, :search, :note) or
// without (--seen, --search): a player's record with their latest sessions, chat and actions,
// a search of names and chat, and the admin's note. Everything is printed through the run's
// printer, as text or JSON Lines; names and chat are server text, escaped on a terminal.

#include <optional>
#include <string>
#include <string_view>

#include "cli/EventPrinter.h"
#include "core/players/PlayerStore.h"

class CPlayerQueries {
  public:
    enum class Answer { Found, NotFound, Unreadable };

    CPlayerQueries(CPlayerStore& store, EventPrinter& printer) : store(store), printer(printer) {}

    // `name` as the server sent it (Latin-1 bytes).
    Answer Seen(const ServerKey& server, const std::string& name);
    // `typed` (UTF-8): names that hold it, then the chat lines that hold all its words.
    Answer Search(const ServerKey& server, const std::string& typed);
    // Replaces the note (UTF-8; empty removes it) and says what it was.
    Answer SetNote(const ServerKey& server, const std::string& name, const std::string& note,
                   const std::string& adminUser);

    // The store's problems, each once, as errors; true when there were any.
    bool ReportProblems();

  private:
    // The read's value, or none after saying why there is none.
    template <typename T> bool Usable(const StoreRead<T>& read);
    void PrintRecord(const ServerKey& server, const PlayerRecord& record, std::string_view match,
                     std::int64_t lines);

    CPlayerStore& store;
    EventPrinter& printer;
};

// A player name as typed (UTF-8) in the server's Latin-1; none, with `problem` set, when no
// server name can be written so.
std::optional<std::string> TypedPlayerName(std::string_view utf8, std::string& problem);

// ":note NAME TEXT": the name is the first word, or what stands between double quotes
// ("Big Bob"); the text is the rest, and a text of just "" stands for none.
struct NoteArgument {
    std::string name;
    std::string text;
};
NoteArgument SplitNoteArgument(std::string_view argument);
