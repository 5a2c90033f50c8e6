// The simulated modem's answers: the framing a real modem uses (echo, CR LF around every line),
// the profile switches that make it a difficult modem, and the command-line splitting.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "modem-sim/modem_profile.h"

namespace {

ModemProfile ProfileOf(const std::vector<std::pair<const char*, const char*>>& settings) {
    ModemProfile profile;
    for (const auto& [key, value] : settings) {
        std::string error;
        EXPECT_TRUE(ApplyProfileSetting(profile, key, value, &error)) << key << ": " << error;
    }
    return profile;
}

struct RespondCase {
    const char* name;
    std::vector<std::pair<const char*, const char*>> settings;
    std::string command;
    std::vector<ReplyBurst> expected;
};

const std::string kOk = "\r\nOK\r\n";
const std::string kError = "\r\nERROR\r\n";
const std::string kDial = "atm2l3x4d*43#,,;h\r";

class ModemRespondTest : public testing::TestWithParam<RespondCase> {};

TEST_P(ModemRespondTest, AnswersAsProfiled) {
    const RespondCase& c = GetParam();
    CModemResponder modem(ProfileOf(c.settings));
    EXPECT_EQ(modem.Respond(c.command), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Commands, ModemRespondTest,
    testing::Values(
        RespondCase{"ResetWithEcho", {}, "at&f\r", {{0, "at&f\r" + kOk}}},
        RespondCase{"ResetWithoutEcho", {{"echo", "off"}}, "at&f\r", {{0, kOk}}},
        RespondCase{"Maker", {}, "at+gmi?\r", {{0, "at+gmi?\r\r\n+GMI: ORVA\r\n" + kOk}}},
        RespondCase{"MakerText",
                    {{"maker", "Orva Systems"}},
                    "at+gmi?\r",
                    {{0, "at+gmi?\r\r\n+GMI: Orva Systems\r\n" + kOk}}},
        RespondCase{"ModelQuoted",
                    {},
                    "at+gmm?\r",
                    {{0, "at+gmm?\r\r\n+GMM: \"ORVA 56k V.92\"\r\n" + kOk}}},
        RespondCase{"ModelUnquoted",
                    {{"model", "ORVA 56k Ext"}, {"model_quoted", "off"}},
                    "at+gmm?\r",
                    {{0, "at+gmm?\r\r\n+GMM: ORVA 56k Ext\r\n" + kOk}}},
        RespondCase{"PcwKnown", {}, "at+pcw?\r", {{0, "at+pcw?\r\r\n+PCW: 0\r\n" + kOk}}},
        RespondCase{
            "PcwMode", {{"pcw_mode", "2"}}, "at+pcw?\r", {{0, "at+pcw?\r\r\n+PCW: 2\r\n" + kOk}}},
        RespondCase{"PcwUnknown", {{"pcw", "off"}}, "at+pcw?\r", {{0, "at+pcw?\r" + kError}}},
        // The country reply as a V.92 modem for Germany gives it, line for line.
        RespondCase{"CountryGermany", {}, "at+gci?\r", {{0, "at+gci?\r\r\n+GCI: 04\r\n" + kOk}}},
        RespondCase{"CountryOther",
                    {{"country", "3D"}},
                    "at+gci?\r",
                    {{0, "at+gci?\r\r\n+GCI: 3D\r\n" + kOk}}},
        RespondCase{
            "UpperCaseEchoedAsSent", {}, "AT+GCI?\r", {{0, "AT+GCI?\r\r\n+GCI: 04\r\n" + kOk}}},
        RespondCase{"LeadingLineFeedIgnored", {}, "\nat&f\r", {{0, "\nat&f\r" + kOk}}},
        RespondCase{"UnknownCommand", {}, "ati3\r", {{0, "ati3\r" + kError}}},
        RespondCase{"SettingPcwIsNotAQuery", {}, "at+pcw=1\r", {{0, "at+pcw=1\r" + kError}}},
        RespondCase{"QueryWithoutCr", {}, "at+gci?", {{0, "at+gci?\r\n+GCI: 04\r\n" + kOk}}},
        RespondCase{"BareCrIgnored", {}, "\r", {}},
        RespondCase{"LineFeedAndCrIgnored", {}, "\n\r", {}},
        RespondCase{
            "ReplyDelayHoldsEchoToo", {{"reply_delay", "300"}}, "at&f\r", {{300, "at&f\r" + kOk}}},
        RespondCase{"SplitAfterEcho",
                    {{"reply_delay", "300"}, {"split", "400"}},
                    "at+gci?\r",
                    {{300, "at+gci?\r"}, {400, "\r\n+GCI: 04\r\n" + kOk}}},
        RespondCase{"SplitWithoutEchoIsOneLateBurst",
                    {{"echo", "off"}, {"reply_delay", "300"}, {"split", "400"}},
                    "at+gci?\r",
                    {{700, "\r\n+GCI: 04\r\n" + kOk}}},
        RespondCase{"SplitMidLine",
                    {{"split", "400"}, {"split_at", "7"}},
                    "at+gci?\r",
                    {{0, "at+gci?\r\r\n+GCI:"}, {400, " 04\r\n" + kOk}}},
        RespondCase{"SplitAtBeyondTheAnswerIsOneBurst",
                    {{"echo", "off"}, {"split", "400"}, {"split_at", "99"}},
                    "at+gci?\r",
                    {{0, "\r\n+GCI: 04\r\n" + kOk}}},
        RespondCase{"DialOkAtOnce", {}, kDial, {{0, kDial + kOk}}},
        RespondCase{"DialOkLate", {{"dial_delay", "1500"}}, kDial, {{0, kDial}, {1500, kOk}}},
        RespondCase{"DialWithPrefixDeactivates",
                    {{"dial_delay", "10"}},
                    "atm0x3d0#43#,,;h\r",
                    {{0, "atm0x3d0#43#,,;h\r"}, {10, kOk}}},
        RespondCase{"DialSplitIgnored", {{"split", "700"}}, kDial, {{0, kDial + kOk}}},
        RespondCase{"DialNoDialtone",
                    {{"dial", "no_dialtone"}},
                    kDial,
                    {{0, kDial + "\r\nNO DIALTONE\r\n"}}},
        RespondCase{"DialBusy", {{"dial", "busy"}}, kDial, {{0, kDial + "\r\nBUSY\r\n"}}},
        RespondCase{"DialError", {{"dial", "error"}}, kDial, {{0, kDial + kError}}},
        RespondCase{
            "DialNoAnswerEchoOnly", {{"dial", "none"}, {"dial_delay", "900"}}, kDial, {{0, kDial}}},
        RespondCase{"DialNoAnswerNoEcho", {{"dial", "none"}, {"echo", "off"}}, kDial, {}},
        RespondCase{"DialWithoutHangUpIsUnknown", {}, "atd*43#\r", {{0, "atd*43#\r" + kError}}},
        RespondCase{"Silent", {{"silent", "on"}}, "at&f\r", {}},
        RespondCase{"SilentBeatsGarbage", {{"silent", "on"}, {"garbage", "on"}}, "at&f\r", {}},
        RespondCase{"OverrideReplacesAnswer",
                    {{"reply", "AT+GMI?|\\r\\nORVA\\r\\n\\r\\nOK\\r\\n"}},
                    "at+gmi?\r",
                    {{0, "at+gmi?\r\r\nORVA\r\n" + kOk}}},
        RespondCase{"OverrideOfUnknownCommand",
                    {{"reply", "ati3|\\r\\n56000\\r\\n"}},
                    "ati3\r",
                    {{0, "ati3\r\r\n56000\r\n"}}},
        RespondCase{
            "OverrideCanBeSilence", {{"reply", "at+gmm?|"}, {"echo", "off"}}, "at+gmm?\r", {}}),
    [](const testing::TestParamInfo<RespondCase>& info) { return std::string(info.param.name); });

TEST(ModemGarbage, NoiseNeverHoldsAColonOrOk) {
    CModemResponder modem(ProfileOf({{"garbage", "on"}, {"reply_delay", "50"}}));
    std::string previous;
    for (const char* command : {"at&f\r", "at+gmi?\r", "at+gmm?\r", "at+pcw?\r", "at+gci?\r"}) {
        const auto bursts = modem.Respond(command);
        ASSERT_EQ(bursts.size(), 1u) << command;
        EXPECT_EQ(bursts[0].nDelayMs, 50u);
        const std::string& noise = bursts[0].strBytes;
        EXPECT_GE(noise.size(), 3u);  // enough for a reset probe to count it as an answer
        EXPECT_EQ(noise.find(':'), std::string::npos) << EscapeForLog(noise);
        EXPECT_EQ(noise.find("OK"), std::string::npos) << EscapeForLog(noise);
        EXPECT_EQ(noise.find(command), std::string::npos) << "no echo in noise";
        EXPECT_NE(noise, previous);
        previous = noise;
    }
}

TEST(ModemHangUp, DueAfterTheConfiguredCommandCount) {
    CModemResponder modem(ProfileOf({{"hangup_after", "2"}}));
    EXPECT_FALSE(modem.HangUpDue());
    EXPECT_FALSE(modem.Respond("at&f\r").empty());
    EXPECT_TRUE(modem.Respond("\r").empty());  // empty lines do not count
    EXPECT_FALSE(modem.HangUpDue());
    EXPECT_FALSE(modem.Respond("at+gmi?\r").empty());  // the last command is still answered
    EXPECT_TRUE(modem.HangUpDue());
    EXPECT_TRUE(modem.Respond("at+gmm?\r").empty());  // the line is gone
    EXPECT_EQ(modem.CommandsAnswered(), 2u);
}

TEST(ModemHangUp, NeverWhenZero) {
    CModemResponder modem{ModemProfile{}};
    for (int i = 0; i < 50; ++i) {
        modem.Respond("at&f\r");
    }
    EXPECT_FALSE(modem.HangUpDue());
    EXPECT_EQ(modem.CommandsAnswered(), 50u);
}

struct SplitCase {
    const char* name;
    std::vector<std::string> chunks;
    std::vector<std::string> expected;
    std::size_t nPending;
};

class ModemSplitterTest : public testing::TestWithParam<SplitCase> {};

TEST_P(ModemSplitterTest, CutsOnCarriageReturn) {
    const SplitCase& c = GetParam();
    CCommandSplitter splitter;
    std::vector<std::string> commands;
    for (const std::string& chunk : c.chunks) {
        for (std::string& command : splitter.Feed(chunk)) {
            commands.push_back(std::move(command));
        }
    }
    EXPECT_EQ(commands, c.expected);
    EXPECT_EQ(splitter.Pending(), c.nPending);
}

INSTANTIATE_TEST_SUITE_P(
    Streams, ModemSplitterTest,
    testing::Values(
        SplitCase{"OneCommand", {"at&f\r"}, {"at&f\r"}, 0},
        SplitCase{"ByteByByte", {"a", "t", "&", "f", "\r"}, {"at&f\r"}, 0},
        SplitCase{
            "SplitAcrossReads", {"at+g", "ci?\rat+", "gmm?\r"}, {"at+gci?\r", "at+gmm?\r"}, 0},
        SplitCase{"SeveralInOneRead",
                  {"at&f\rat+gmi?\rat+gmm?\r"},
                  {"at&f\r", "at+gmi?\r", "at+gmm?\r"},
                  0},
        SplitCase{"PartialStaysPending", {"at&f\rat+gc"}, {"at&f\r"}, 5},
        SplitCase{"LineFeedStartsNextLine", {"at&f\r\nat+gci?\r"}, {"at&f\r", "\nat+gci?\r"}, 0},
        SplitCase{"EmptyLines", {"\r\r"}, {"\r", "\r"}, 0},
        SplitCase{"NothingYet", {"", "at"}, {}, 2},
        SplitCase{"OverlongLineCut",
                  {std::string(1500, 'a'), "\r"},
                  {std::string(CCommandSplitter::kMaxCommand, 'a') + "\r"},
                  0}),
    [](const testing::TestParamInfo<SplitCase>& info) { return std::string(info.param.name); });

struct SettingCase {
    const char* key;
    const char* value;
    bool bAccepted;
};

class ModemSettingTest : public testing::TestWithParam<SettingCase> {};

TEST_P(ModemSettingTest, AcceptsOnlyFittingValues) {
    const SettingCase& c = GetParam();
    ModemProfile profile;
    std::string error;
    EXPECT_EQ(ApplyProfileSetting(profile, c.key, c.value, &error), c.bAccepted);
    EXPECT_EQ(error.empty(), c.bAccepted) << error;
}

INSTANTIATE_TEST_SUITE_P(
    Values, ModemSettingTest,
    testing::Values(SettingCase{"echo", "off", true}, SettingCase{"echo", "0", true},
                    SettingCase{"echo", "maybe", false}, SettingCase{"reply_delay", "250", true},
                    SettingCase{"reply-delay", "250", true},
                    SettingCase{"reply_delay", "-5", false},
                    SettingCase{"reply_delay", "12ms", false}, SettingCase{"split", "", false},
                    SettingCase{"dial", "no-dialtone", true}, SettingCase{"dial", "BUSY", true},
                    SettingCase{"dial", "connect", false}, SettingCase{"hangup_after", "3", true},
                    SettingCase{"hangup_after", "99999999999", false},
                    SettingCase{"reply", "at|x", true}, SettingCase{"reply", "at", false},
                    SettingCase{"reply", "|x", false}, SettingCase{"baud", "9600", false},
                    SettingCase{"maker", "", true}));

TEST(ModemProfileText, ReadsKeyValueLines) {
    ModemProfile profile;
    std::string error;
    ASSERT_TRUE(LoadProfileText(profile,
                                "# a slow modem in Switzerland\r\n"
                                "\n"
                                "echo = off\r\n"
                                "model = ORVA 56k Pro  \n"
                                "country=42\n"
                                "dial=busy\n"
                                "dial_delay=2500\n"
                                "reply=at+gmi?|\\r\\nORVA\\r\\n\n"
                                "hangup_after=4",
                                &error))
        << error;
    EXPECT_FALSE(profile.bEcho);
    EXPECT_EQ(profile.strModel, "ORVA 56k Pro");
    EXPECT_EQ(profile.strCountry, "42");
    EXPECT_EQ(profile.eDial, DialResult::kBusy);
    EXPECT_EQ(profile.nDialDelayMs, 2500u);
    EXPECT_EQ(profile.nHangUpAfter, 4u);
    ASSERT_EQ(profile.overrides.size(), 1u);
    EXPECT_EQ(profile.overrides[0].strCommand, "at+gmi?");
    EXPECT_EQ(profile.overrides[0].strAnswer, "\r\nORVA\r\n");
    EXPECT_EQ(profile.strMaker, "ORVA");  // untouched keys keep their defaults
}

TEST(ModemProfileText, NamesTheBadLine) {
    ModemProfile profile;
    std::string error;
    EXPECT_FALSE(LoadProfileText(profile, "echo=on\nsplit=fast\n", &error));
    EXPECT_NE(error.find("line 2"), std::string::npos) << error;
    EXPECT_FALSE(LoadProfileText(profile, "# ok\nno equals sign\n", &error));
    EXPECT_NE(error.find("line 2"), std::string::npos) << error;
}

TEST(ModemLogEscapes, LogLineShowsEveryByte) {
    EXPECT_EQ(EscapeForLog("at+gci?\r"), "at+gci?\\r");
    EXPECT_EQ(EscapeForLog("\nat\\\t"), "\\nat\\\\\\t");
    EXPECT_EQ(EscapeForLog(std::string("a\0\x7F\xFF", 4)), "a\\x00\\x7F\\xFF");
    for (const std::string& bytes :
         {std::string("atm2l3x4d*43#,,;h\r"), std::string("\x01\x80\\x")}) {
        EXPECT_EQ(DecodeEscapes(EscapeForLog(bytes)), bytes);
    }
}

TEST(ModemLogEscapes, DecodeLeavesUnknownSequences) {
    EXPECT_EQ(DecodeEscapes("\\r\\n\\x41\\q\\x4"), "\r\nA\\q\\x4");
    EXPECT_EQ(DecodeEscapes("end\\"), "end\\");
}

}  // namespace
