// vyr-cli --json against the demo server: every line one JSON object with the time, the type,
// the window's text and the fields of its type.

#include <gmock/gmock.h>
#include <locale.h>
#include <nlohmann/json.hpp>
#include <signal.h>

#include <cuchar>
#include <map>
#include <regex>
#include <set>
#include <sstream>

#include "engine/Protocol.h"
#include "tests/cli/CliFixture.h"
#include "tests/support/UdpPeer.h"

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

// The code points of `text`, decoded strictly by the C library's UTF-8; nothing when it is not
// UTF-8.
std::optional<std::u32string> StrictUtf8(const std::string& text) {
    const locale_t utf8 = newlocale(LC_CTYPE_MASK, "C.UTF-8", nullptr);
    const locale_t before = uselocale(utf8);
    std::u32string decoded;
    std::mbstate_t state{};
    bool valid = true;
    for (std::size_t at = 0; valid && at < text.size();) {
        char32_t c = 0;
        const std::size_t used = std::mbrtoc32(&c, text.data() + at, text.size() - at, &state);
        valid = used != 0 && used <= text.size() - at;
        decoded += c;
        at += valid ? used : 0;
    }
    uselocale(before);
    freelocale(utf8);
    return valid ? std::optional(decoded) : std::nullopt;
}

// Whatever bytes come from the command line, stdin or the server, every line is valid UTF-8 and
// valid JSON, and no control character stands in it as it is, C1 included: a terminal showing the
// JSON would obey it.
TEST_F(CliTest, EveryJsonLineIsValidUtf8WhateverTheBytes) {
    const std::string hostile = "Ev\x9b[2Jil\xff\x85\x1b";
    std::string out;
    {
        UdpPeer fake;
        const std::string port = std::to_string(fake.Port());
        CliProcess follow(home, {"-H", "127.0.0.1", "-p", port, "-u", "a", "--json", "--follow"});
        ASSERT_TRUE(fake.ReceiveOfType(MSG_LOGIN, 5000ms));
        fake.Send(wire::EncodeWelcome({{1, 3, hostile}, {2, 0, "\xfe\xff"}}));
        fake.Send(wire::EncodeServerChat(1, 0,
                                         hostile + " \xc2\x9b"
                                                   "31m"));
        fake.Send(wire::EncodeListText(hostile + "|\x9c|"));
        EXPECT_TRUE(follow.WaitForOutput("\"list\""));
        follow.Signal(SIGTERM);
        EXPECT_EQ(follow.WaitForExit(), 0);
        EXPECT_NE(follow.out.find(R"(Ev\u009b[2Jil)"
                                  "\xC3\xBF"
                                  R"(\u0085\u001b)"),
                  std::string::npos)
            << follow.out;
        out += follow.out;
    }
    for (const auto& [args, input] : std::vector<std::pair<std::vector<std::string>, std::string>>{
             {{"--json", "--kick", "Ev\xffil\xc2\x9b\x01"}, ""},
             {{"--json", "--wait", "0.2"}, "ok\n\xff\xfe\n\xc2\x9b\n\xed\xa0\x80\n"}}) {
        UdpPeer fake;
        CliProcess run(
            home,
            [&] {
                std::vector<std::string> all{"-H", "127.0.0.1", "-p", std::to_string(fake.Port()),
                                             "-u", "a"};
                all.insert(all.end(), args.begin(), args.end());
                return all;
            }(),
            {}, input);
        ASSERT_TRUE(fake.ReceiveOfType(MSG_LOGIN, 5000ms));
        fake.Send(wire::EncodeWelcome({{1, 3, hostile}}));
        RunCli(run);
        EXPECT_NE(run.out.find("\"error\""), std::string::npos) << run.out;
        out += run.out;
    }
    std::istringstream lines(out);
    for (std::string line; std::getline(lines, line);) {
        const std::optional<std::u32string> text = StrictUtf8(line);
        ASSERT_TRUE(text.has_value()) << line;
        EXPECT_TRUE(std::none_of(text->begin(), text->end(), [](char32_t c) {
            return c < 0x20 || (c >= 0x7F && c <= 0x9F);
        })) << line;
        EXPECT_TRUE(json::parse(line, nullptr, false).is_object()) << line;
    }
}

} // namespace
