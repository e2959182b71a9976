// vyr-cli --json against the demo server: every line one JSON object with the time, the type,
// the window's text and the fields of its type.

#include <gmock/gmock.h>
#include <nlohmann/json.hpp>
#include <signal.h>

#include <map>
#include <regex>
#include <set>
#include <sstream>

#include "tests/cli/CliFixture.h"

namespace {

using namespace std::chrono_literals;
using nlohmann::json;

// The fields each type carries besides time, type and text, and whether each is a number.
const std::map<std::string, std::map<std::string, bool>> FIELDS = {
    {"connecting", {}},
    {"connected", {}},
    {"disconnected", {{"reason", false}}},
    {"join", {{"id", true}, {"name", false}}},
    {"leave", {{"id", true}, {"name", false}, {"reason", true}}},
    {"kick", {{"id", true}, {"name", false}, {"reason", true}}},
    {"timeout", {{"id", true}, {"name", false}, {"reason", true}}},
    {"death", {{"id", true}, {"name", false}}},
    {"chat", {{"id", true}, {"name", false}, {"kind", true}, {"message", false}}},
    {"value", {{"id", true}, {"name", false}, {"value", true}}},
    {"list", {{"entries", false}}},
    {"removeip", {{"result", true}}},
    {"shutdown", {{"status", true}}},
    {"refused", {{"code", true}, {"reason", false}}},
    {"error", {}},
    {"player", {{"id", true}, {"name", false}, {"value", true}}},
    {"ban", {{"problem", true}}},
};

// Parses and checks every line; the objects, in order.
std::vector<json> CheckedLines(const std::string& out) {
    static const std::regex iso(R"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}Z)");
    std::vector<json> objects;
    std::istringstream lines(out);
    for (std::string line; std::getline(lines, line);) {
        const json o = json::parse(line, nullptr, false);
        EXPECT_TRUE(o.is_object()) << line;
        if (!o.is_object()) {
            continue;
        }
        const std::string type = o.value("type", "");
        const auto fields = FIELDS.find(type);
        EXPECT_TRUE(fields != FIELDS.end() && o["text"].is_string() &&
                    std::regex_match(o.value("time", ""), iso))
            << line;
        for (const auto& [name, numeric] :
             fields != FIELDS.end() ? fields->second : std::map<std::string, bool>{}) {
            EXPECT_TRUE(o.contains(name) && o[name].is_number() == numeric) << name << ": " << line;
        }
        objects.push_back(o);
    }
    return objects;
}

std::set<std::string> TypesOf(const std::vector<json>& objects) {
    std::set<std::string> types;
    for (const json& o : objects) {
        types.insert(o.value("type", ""));
    }
    return types;
}

TEST_F(CliTest, FollowPrintsEveryGameEventAsJsonUntilSigterm) {
    StartServer({"--players", "6", "--rate", "300", "--seed", "3"});
    CliProcess cli(
        home, To({"--follow", "--json", "--ban", "#0", "-c", "/list", "-c", "/removeip 9.9.9.9"}));
    for (const char* type : {"\"kick\"", "\"list\"", "\"removeip\"", "\"join\"", "\"timeout\"",
                             "\"leave\"", "\"death\"", "\"chat\"", "\"value\""}) {
        EXPECT_TRUE(cli.WaitForOutput(std::string("\"type\":") + type)) << type;
    }
    ASSERT_TRUE(cli.Signal(SIGTERM));
    EXPECT_EQ(cli.WaitForExit(), 0) << cli.err;
    const std::vector<json> objects = CheckedLines(cli.out);
    ASSERT_GE(objects.size(), 2u);
    EXPECT_EQ(objects[1].value("type", ""), "connected"); // before any event, as in the window
    EXPECT_EQ(objects.back().value("text", ""), "Disconnected: Client disconnected.");
    for (const json& o : objects) {
        if (o["type"] == "list") {
            EXPECT_THAT(o["entries"].get<std::vector<std::string>>(),
                        testing::ElementsAre(testing::StartsWith("10.")));
        }
    }
    EXPECT_NE(cli.err.find("IP could not be removed."), std::string::npos) << cli.err;
    EXPECT_TRUE(ServerSaid("\nquit\n")) << server.Output();
}

TEST_F(CliTest, PlayersShutdownRefusalAndErrorsAsJson) {
    StartServer();
    CliProcess players(home, To({"--players", "--json"}));
    EXPECT_EQ(RunCli(players), 0);
    EXPECT_EQ(std::count(players.out.begin(), players.out.end(), '\n'), 3 + 3);
    CliProcess refused(home, To({"--json", "/refuse 4"}));
    EXPECT_EQ(RunCli(refused), 1);
    CliProcess missing(home, To({"--json", "--kick", "Nobody"}));
    EXPECT_EQ(RunCli(missing), 5);
    CliProcess shutdown(home, To({"--json", "--shutdown", "--yes"}));
    EXPECT_EQ(RunCli(shutdown), 0) << shutdown.err;
    EXPECT_EQ(server.WaitForExit(), 0);

    const std::vector<json> all =
        CheckedLines(players.out + refused.out + missing.out + shutdown.out);
    EXPECT_THAT(TypesOf(all), testing::IsSupersetOf({"player", "refused", "error", "shutdown"}));
}

} // namespace
