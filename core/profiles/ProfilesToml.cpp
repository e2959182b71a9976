#include "core/profiles/ProfilesToml.h"

#include <map>
#include <sstream>
#include <toml++/toml.h>

namespace {

constexpr char KEYS[] = "name, host, port, user, password_source and automation";
constexpr char SOURCES[] = "password_source must be \"keyring\", \"ask\" or { command = \"...\" }";

// A located refusal, thrown out of the nested reading and caught once.
struct Refusal {
    toml::source_position at;
    std::string what;
};

[[noreturn]] void Refuse(const toml::source_position& at, std::string what) {
    throw Refusal{at, std::move(what)};
}

// A key as a message may quote it: only plain short ASCII is echoed.
std::string Quoted(std::string_view key) {
    bool plain = !key.empty() && key.size() <= 40;
    for (const char c : key) {
        plain = plain && c >= 0x20 && c < 0x7F;
    }
    return plain ? "\"" + std::string(key) + "\"" : "a key";
}

// A key that does not belong where it is; a password gets the reason it never belongs.
[[noreturn]] void RefuseKey(const toml::key& key, const std::string& allowed) {
    if (key.str() == "password") {
        Refuse(key.source().begin,
               "a password is never kept in this file: remove it and set "
               "password_source to \"keyring\", \"ask\" or { command = \"...\" }");
    }
    Refuse(key.source().begin, "unknown key " + Quoted(key.str()) + " (" + allowed + ")");
}

const std::string& Text(const toml::node& node, const char* what) {
    if (!node.is_string()) {
        Refuse(node.source().begin, std::string(what) + " must be text in quotes");
    }
    return node.as_string()->get();
}

void Check(const toml::node& node, const std::string& problem) {
    if (!problem.empty()) {
        Refuse(node.source().begin, problem);
    }
}

void ReadPasswordSource(const toml::node& node, ServerProfile& profile) {
    if (node.is_string()) {
        const std::string& source = node.as_string()->get();
        if (source != "keyring" && source != "ask") {
            Refuse(node.source().begin, SOURCES);
        }
        profile.passwordSource =
            source == "keyring" ? PasswordSource::Keyring : PasswordSource::Ask;
        return;
    }
    const toml::table* table = node.as_table();
    if (table == nullptr) {
        Refuse(node.source().begin, SOURCES);
    }
    for (const auto& [key, value] : *table) {
        if (key.str() != "command") {
            RefuseKey(key, SOURCES);
        }
    }
    if (!table->contains("command")) {
        Refuse(node.source().begin, SOURCES);
    }
    const toml::node& command = *table->get("command");
    profile.passwordSource = PasswordSource::Command;
    profile.passwordCommand = Text(command, "the password command");
    Check(command, PasswordCommandProblem(profile.passwordCommand));
}

ServerProfile ReadServer(const toml::table& table) {
    ServerProfile profile;
    for (const auto& [key, node] : table) {
        const std::string_view name = key.str();
        if (name == "name") {
            profile.name = Text(node, "name");
            Check(node, ProfileNameProblem(profile.name));
        } else if (name == "host") {
            profile.host = Text(node, "host");
            Check(node, HostProblem(profile.host));
        } else if (name == "port") {
            const std::optional<std::int64_t> port = node.value_exact<std::int64_t>();
            Check(node, PortProblem(port.value_or(0)));
            profile.port = static_cast<int>(*port);
        } else if (name == "user") {
            profile.user = Text(node, "user");
            Check(node, UserProblem(profile.user));
        } else if (name == "password_source") {
            ReadPasswordSource(node, profile);
        } else if (name == "automation") {
            profile.automationFile = Text(node, "automation");
            Check(node, AutomationFileProblem(profile.automationFile));
        } else {
            RefuseKey(key, std::string("a [[server]] takes ") + KEYS);
        }
    }
    for (const char* required : {"name", "host", "port"}) {
        if (!table.contains(required)) {
            Refuse(table.source().begin, std::string("this [[server]] has no ") + required +
                                             " (it needs name, host and port)");
        }
    }
    return profile;
}

std::vector<ServerProfile> ReadFile(const toml::table& root) {
    for (const auto& [key, node] : root) {
        if (key.str() != "server") {
            RefuseKey(key, "the file holds [[server]] tables only");
        }
    }
    std::vector<ServerProfile> profiles;
    const toml::node* servers = root.get("server");
    if (servers == nullptr) {
        return profiles;
    }
    const toml::array* list = servers->as_array();
    if (list == nullptr || !(list->empty() || list->is_array_of_tables())) {
        Refuse(servers->source().begin, "each server is a [[server]] table");
    }
    std::map<std::string, std::uint32_t> lineOfName;
    for (const toml::node& server : *list) {
        profiles.push_back(ReadServer(*server.as_table()));
        const toml::node& name = *server.as_table()->get("name");
        const auto [first, fresh] =
            lineOfName.emplace(profiles.back().name, name.source().begin.line);
        if (!fresh) {
            Refuse(name.source().begin, "the name \"" + profiles.back().name +
                                            "\" is already taken by the server at line " +
                                            std::to_string(first->second));
        }
    }
    return profiles;
}

void PutText(std::ostream& out, const char* key, const std::string& value) {
    out << key << " = "
        << toml::toml_formatter(toml::value<std::string>(value),
                                toml::format_flags::allow_unicode_strings)
        << '\n';
}

} // namespace

ProfilesText ParseProfiles(std::string_view toml) {
    ProfilesText result;
    const auto at = [](const toml::source_position& where, const std::string& what) {
        return "line " + std::to_string(where.line) + ", column " + std::to_string(where.column) +
               ": " + what;
    };
    try {
        result.profiles = ReadFile(toml::parse(toml));
    } catch (const toml::parse_error& error) {
        result.problem = at(error.source().begin, std::string(error.description()));
    } catch (const Refusal& refusal) {
        result.problem = at(refusal.at, refusal.what);
    }
    if (!result.problem.empty()) {
        result.profiles.clear();
    }
    return result;
}

std::string FormatProfiles(const std::vector<ServerProfile>& profiles) {
    std::ostringstream out;
    out << "# Vyr Remote Server Admin: the saved servers, in the order the picker shows them.\n"
           "# Never put a password here: password_source says where it comes from.\n";
    for (const ServerProfile& profile : profiles) {
        out << "\n[[server]]\n";
        PutText(out, "name", profile.name);
        PutText(out, "host", profile.host);
        out << "port = " << profile.port << '\n';
        PutText(out, "user", profile.user);
        if (profile.passwordSource == PasswordSource::Command) {
            out << "password_source = { command = "
                << toml::toml_formatter(toml::value<std::string>(profile.passwordCommand),
                                        toml::format_flags::allow_unicode_strings)
                << " }\n";
        } else {
            PutText(out, "password_source", PasswordSourceName(profile.passwordSource));
        }
        if (!profile.automationFile.empty()) {
            PutText(out, "automation", profile.automationFile);
        }
    }
    return out.str();
}
