#pragma once
// A line of an automation rule with fields filled in when it runs: "Welcome, {name}!".

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

enum class TemplateField : unsigned {
    Name = 1u << 0,     // the player's name
    Id = 1u << 1,       // the player's id
    Players = 1u << 2,  // players on the server
    Time = 1u << 3,     // local time, HH:MM
    Match = 1u << 4,    // the text the pattern matched
    Warnings = 1u << 5, // warnings this player has had, this one included
    Minutes = 1u << 6,  // minutes left in a countdown
};

struct TemplateValues {
    std::string_view name; // Latin-1, as the server sent it
    std::uint8_t id = 0;
    int players = 0;
    std::string time;
    std::string_view match; // Latin-1
    int warnings = 0;
    int minutes = 0;
};

// The longest line the server takes.
constexpr std::size_t MAX_SERVER_LINE = 128;

class CMessageTemplate {
  public:
    // What the filled-in text is for: a line said on the server must be one the wire can carry;
    // a reason or a note is only shown and kept, with the server's text escaped.
    enum class Use { ServerLine, Display };

    // `allowed` is the set of TemplateField bits the rule can fill. On failure `error` says what
    // is wrong; a template for the server is checked as far as its fixed text allows.
    static std::optional<CMessageTemplate> Parse(std::string_view utf8, Use use, unsigned allowed,
                                                 std::string& error);

    struct Expanded {
        std::string text;   // UTF-8, for the log
        std::string latin1; // the wire line (ServerLine only); empty when refused
        std::string problem;
    };
    Expanded Expand(const TemplateValues& values) const;

    unsigned Fields() const { return fields; }

  private:
    struct Piece {
        std::string literal; // UTF-8
        std::optional<TemplateField> field;
    };
    Use use = Use::Display;
    unsigned fields = 0;
    std::vector<Piece> pieces;
};

// "{name}" for a field, for messages.
const char* TemplateFieldName(TemplateField field);
