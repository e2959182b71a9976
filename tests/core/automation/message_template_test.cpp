#include "core/automation/MessageTemplate.h"

#include <gtest/gtest.h>

namespace {

constexpr unsigned ALL = 0x7F;

TEST(MessageTemplateTest, FieldsAreFilledForTheWireOrForDisplay) {
    TemplateValues values;
    values.name = "Zo\xeb\x01";
    values.id = 7;
    values.players = 12;
    values.time = "04:30";
    values.match = "{name}";
    values.warnings = 2;
    values.minutes = 5;
    struct Case {
        const char* text;
        CMessageTemplate::Use use;
        const char* shown;  // UTF-8, server text escaped
        const char* latin1; // the wire line, or "" when refused
    };
    const Case cases[] = {
        {"#{id} {players} {time} {warnings} {minutes}", CMessageTemplate::Use::ServerLine,
         "#7 12 04:30 2 5", "#7 12 04:30 2 5"},
        {"{{{match}}}", CMessageTemplate::Use::ServerLine, "{{name}}", "{{name}}"},
        {"caf\xc3\xa9 {name}", CMessageTemplate::Use::Display, "caf\xc3\xa9 Zo\xc3\xab\\x01", ""},
        {"caf\xc3\xa9 {name}", CMessageTemplate::Use::ServerLine, "caf\xc3\xa9 Zo\xc3\xab\\x01",
         ""},
        {"caf\xc3\xa9 {time}", CMessageTemplate::Use::ServerLine, "caf\xc3\xa9 04:30",
         "caf\xe9 04:30"},
    };
    for (const Case& c : cases) {
        std::string error;
        const std::optional<CMessageTemplate> parsed =
            CMessageTemplate::Parse(c.text, c.use, ALL, error);
        ASSERT_TRUE(parsed) << c.text << ": " << error;
        const CMessageTemplate::Expanded out = parsed->Expand(values);
        EXPECT_EQ(out.text, c.shown) << c.text;
        EXPECT_EQ(out.latin1, c.latin1) << c.text;
        EXPECT_EQ(out.problem.empty(), *c.latin1 != '\0' || c.use == CMessageTemplate::Use::Display)
            << c.text;
    }
}

TEST(MessageTemplateTest, OnlyTheFieldsTheRuleCanFillAreAccepted) {
    std::string error;
    const unsigned scheduleFields =
        static_cast<unsigned>(TemplateField::Players) | static_cast<unsigned>(TemplateField::Time);
    EXPECT_FALSE(CMessageTemplate::Parse("hi {name}", CMessageTemplate::Use::ServerLine,
                                         scheduleFields, error));
    EXPECT_EQ(error, "unknown field {name}; this rule can fill {players}, {time}");
    EXPECT_FALSE(
        CMessageTemplate::Parse("", CMessageTemplate::Use::ServerLine, scheduleFields, error));
    EXPECT_EQ(error, "the line is empty");
    EXPECT_FALSE(CMessageTemplate::Parse(std::string(129, 'a'), CMessageTemplate::Use::ServerLine,
                                         scheduleFields, error));
    EXPECT_EQ(error, "the line is longer than 128 characters");
}

} // namespace
