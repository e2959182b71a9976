#pragma once
// vyr-cli's own texts, in one place.

namespace clitexts {

constexpr char PROMPT[] = "vyr> ";
constexpr char PASSWORD_PROMPT[] = "Password: ";

constexpr char LOCAL_HELP[] =
    "Local commands:\n"
    "  :players        list the players\n"
    "  :kick PLAYER    kick PLAYER (an exact name or #id)\n"
    "  :ban PLAYER     ban PLAYER\n"
    "  :shutdown       ask the server to shut down (the server asks for a second request)\n"
    "  :seen PLAYER    what the player memory holds on PLAYER (a name, or #id of a player here)\n"
    "  :note PLAYER TEXT  set the note on PLAYER (\"Big Bob\" for a name with blanks;\n"
    "                  TEXT \"\" removes it)\n"
    "  :search TEXT    names and chat lines of this server holding TEXT\n"
    "  :help           show this text\n"
    "  :quit           log out and quit (also Ctrl+D)\n"
    "Every other line goes to the server as a console line.\n";

constexpr char REFUSED[] = "refused by the server: ";
constexpr char UNREACHABLE[] = "could not reach the server: ";
constexpr char LOST[] = "the connection was lost: ";
constexpr char NOT_SHUT_DOWN[] = "the server did not shut down";
constexpr char SHUTDOWN_UNANSWERED[] = "the server did not answer the shutdown request";
constexpr char REMOVAL_UNREPORTED[] = "the server did not report the removal of player #";
constexpr char NOT_SENT[] = " not sent: ";
constexpr char COMMAND_NOT_SENT[] = "command not sent: ";
constexpr char PLAYER_USAGE[] = " PLAYER (an exact name or #id)";
constexpr char UNKNOWN_LOCAL_COMMAND[] = "unknown local command (try :help): ";
constexpr char HISTORY_NOT_A_FILE[] =
    " is not a regular file: the prompt keeps its history for this run only";
constexpr char NO_PROMPT[] = "the terminal cannot be opened for the prompt, so every line typed "
                             "goes to the server as a console line: ";
constexpr char NO_PASSWORD[] = "no password: use --password-file, VYR_PASSWORD, a saved password "
                               "in vyr.ini, or run on a terminal to be asked";

} // namespace clitexts
