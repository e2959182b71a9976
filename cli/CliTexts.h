#pragma once
// vyr-cli's own texts, in one place.

namespace clitexts {

constexpr char PROMPT[] = "vyr> ";
constexpr char PASSWORD_PROMPT[] = "Password: ";

constexpr char LOCAL_HELP[] =
    "Local commands:\n"
    "  :players                        list the players\n"
    "  :kick PLAYER [REASON]           kick PLAYER (an exact name, \"a name\" or #id)\n"
    "  :ban PLAYER [LENGTH] [REASON]   ban PLAYER for LENGTH (30m, 2h, 1d, 1w; default\n"
    "                                  permanent), keeping the reason with the ban\n"
    "  :bans                           the server's ban list with the bans recorded here\n"
    "  :unban ADDR|PLAYER              lift a ban\n"
    "  :shutdown                       ask the server to shut down (it asks for a second\n"
    "                                  request)\n"
    "  :seen PLAYER                    what the player memory holds on PLAYER (a name, or\n"
    "                                  #id of a player here)\n"
    "  :note PLAYER TEXT               set the note on PLAYER (\"Big Bob\" for a name with\n"
    "                                  blanks; TEXT \"\" removes it)\n"
    "  :search TEXT                    names and chat lines of this server holding TEXT\n"
    "  :help                           show this text\n"
    "  :quit                           log out and quit (also Ctrl+D)\n"
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
