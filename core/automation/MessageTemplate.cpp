#include "core/automation/MessageTemplate.h"

#include <array>
#include <utility>

#include "core/WireText.h"
#include "engine/PrintableText.h"

namespace {

constexpr std::array<std::pair<TemplateField, const char*>, 7> FIELDS = {{
    {TemplateField::Name, "name"},
    {TemplateField::Id, "id"},
    {TemplateField::Players, "players"},
    {TemplateField::Time, "time"},
    {TemplateField::Match, "match"},
    {TemplateField::Warnings, "warnings"},
    {TemplateField::Minutes, "minutes"},
}};

std::string AllowedList(unsigned allowed) {
    std::string list;
    for (const auto& [field, name] : FIELDS) {
        if ((allowed & static_cast<unsigned>(field)) != 0) {
            list += std::string(list.empty() ? "" : ", ") + "{" + name + "}";
        }
    }
    return list.empty() ? "no fields" : list;
}

bool HasControlCharacter(std::string_view utf8) {
    for (const char c : utf8) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) {
            return true;
        }
    }
    return false;
}

// The field's value: raw server text for a line that is checked as a whole afterwards,
// escaped server text for display.
std::string FieldText(TemplateField field, const TemplateValues& values, bool escape) {
    const auto server = [escape](std::string_view latin1) {
        return Latin1ToUtf8(escape ? Printable(latin1) : std::string(latin1));
    };
    switch (field) {
    case TemplateField::Name:
        return server(values.name);
    case TemplateField::Id:
        return std::to_string(values.id);
    case TemplateField::Players:
        return std::to_string(values.players);
    case TemplateField::Time:
        return values.time;
    case TemplateField::Match:
        return server(values.match);
    case TemplateField::Warnings:
        return std::to_string(values.warnings);
    case TemplateField::Minutes:
        return std::to_string(values.minutes);
    }
    return {};
}

const char* const COMMAND_PROBLEM =
    "the line would start with '/', which the server takes as a command";

} // namespace

const char* TemplateFieldName(TemplateField field) {
    for (const auto& [each, name] : FIELDS) {
        if (each == field) {
            return name;
        }
    }
    return "?";
}

std::optional<CMessageTemplate> CMessageTemplate::Parse(std::string_view utf8, Use use,
                                                        unsigned allowed, std::string& error) {
    CMessageTemplate result;
    result.use = use;
    std::string literal;
    std::string fixedText; // every literal piece, for the checks below
    const auto closeLiteral = [&] {
        if (!literal.empty()) {
            fixedText += literal;
            result.pieces.push_back({std::move(literal), std::nullopt});
            literal.clear();
        }
    };
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        const char c = utf8[i];
        if ((c == '{' || c == '}') && i + 1 < utf8.size() && utf8[i + 1] == c) {
            literal += c; // {{ and }} stand for the brace itself
            ++i;
            continue;
        }
        if (c == '}') {
            error = "a '}' without its '{' (write }} for a brace)";
            return std::nullopt;
        }
        if (c != '{') {
            literal += c;
            continue;
        }
        const std::size_t close = utf8.find('}', i + 1);
        if (close == std::string_view::npos) {
            error = "a '{' without its '}' (write {{ for a brace)";
            return std::nullopt;
        }
        const std::string_view name = utf8.substr(i + 1, close - i - 1);
        std::optional<TemplateField> field;
        for (const auto& [each, eachName] : FIELDS) {
            if (name == eachName && (allowed & static_cast<unsigned>(each)) != 0) {
                field = each;
            }
        }
        if (!field) {
            error = "unknown field {" + std::string(name.substr(0, 40)) + "}; this rule can fill " +
                    AllowedList(allowed);
            return std::nullopt;
        }
        closeLiteral();
        result.fields |= static_cast<unsigned>(*field);
        result.pieces.push_back({{}, field});
        i = close;
    }
    closeLiteral();

    if (use == Use::Display) {
        if (HasControlCharacter(fixedText)) {
            error = "the text holds a control character";
            return std::nullopt;
        }
        return result;
    }
    if (result.pieces.empty()) {
        error = "the line is empty";
        return std::nullopt;
    }
    const WireText fixed = TextForWire(fixedText, MAX_SERVER_LINE);
    if (!fixed.Ok()) {
        error = fixed.Describe();
        return std::nullopt;
    }
    if (!result.pieces.front().literal.empty() && result.pieces.front().literal[0] == '/') {
        error = COMMAND_PROBLEM;
        return std::nullopt;
    }
    return result;
}

CMessageTemplate::Expanded CMessageTemplate::Expand(const TemplateValues& values) const {
    Expanded out;
    std::string raw; // fields unescaped, checked as one line for the wire
    for (const Piece& piece : pieces) {
        if (piece.field) {
            out.text += FieldText(*piece.field, values, true);
            if (use == Use::ServerLine) {
                raw += FieldText(*piece.field, values, false);
            }
        } else {
            out.text += piece.literal;
            raw += piece.literal;
        }
    }
    if (use == Use::Display) {
        return out;
    }
    const WireText line = TextForWire(raw, MAX_SERVER_LINE);
    if (!line.Ok()) {
        out.problem = line.Describe();
    } else if (line.latin1.empty()) {
        out.problem = "the line is empty";
    } else if (line.latin1[0] == '/') {
        out.problem = COMMAND_PROBLEM;
    } else {
        out.latin1 = line.latin1;
    }
    return out;
}
