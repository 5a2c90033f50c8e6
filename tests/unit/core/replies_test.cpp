// The reply judgements on raw replies as a modem sends them with echo on: the echoed
// command, then CR LF framed answer lines and the result code.
#include "modem/replies.h"

#include <gtest/gtest.h>

#include <ostream>
#include <optional>
#include <string>

namespace {

// Parameterised cases print as their name instead of a byte dump.
template <typename Case>
requires requires(const Case& c) {
    c.name;
}
void PrintTo(const Case& c, std::ostream* os) {
    *os << c.name;
}

template <typename Case>
std::string CaseName(const ::testing::TestParamInfo<Case>& info) {
    return info.param.name;
}

// --- Query value ---

struct QueryCase {
    const char* name;
    std::string reply;
    std::optional<std::string> expected;
};

class ExtractQueryValueTest : public ::testing::TestWithParam<QueryCase> {};

TEST_P(ExtractQueryValueTest, TakesTheTextAfterTheFirstColon) {
    EXPECT_EQ(ExtractQueryValue(GetParam().reply), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Replies, ExtractQueryValueTest,
    ::testing::Values(
        QueryCase{"CountryWorkedExample", "at+gci?\r\r\n+GCI: 04\r\n\r\nOK\r\n", "04"},
        QueryCase{"ErrorResultHasNoColon", "at+gci?\r\r\nERROR\r\n", std::nullopt},
        QueryCase{"Silence", "", std::nullopt}, QueryCase{"EchoOnly", "at+gci?\r", std::nullopt},
        QueryCase{"ModelInQuotes", "at+gmm?\r\r\n+GMM: \"ORVA 56k V.92\"\r\n\r\nOK\r\n",
                  "\"ORVA 56k V.92\""},
        QueryCase{"NoBlankAfterColon", "at+gmi?\r\r\n+GMI:ORVA\r\n\r\nOK\r\n", "ORVA"},
        QueryCase{"TabsAndTrailingBlanks", "at+gmi?\r\r\n+GMI:\t ORVA GmbH \t\r\nOK\r\n",
                  "ORVA GmbH"},
        QueryCase{"VerticalTabAndFormFeedAround", "+GCI:\v04\f\r\nOK\r\n", "04"},
        QueryCase{"BlankValueTakesNextLine", "at+gci?\r\r\n+GCI:   \r\n\r\nOK\r\n", "OK"},
        QueryCase{"EmptyValueTakesNextLine", "at+gci?\r\r\n+GCI:\r\n\r\nOK\r\n", "OK"},
        QueryCase{"BlankValueAtEndThrows", "at+gci?\r\r\n+GCI:  \r\n", std::nullopt},
        QueryCase{"LineFeedOnlyFraming", "at+gci?\r\n+GCI: 04\n\nOK\n", std::nullopt},
        QueryCase{"ValueCutBeforeCarriageReturn", "+GCI: 04\rjunk\r\n", "04"},
        QueryCase{"ValueEndsInLineFeedThenCr", "+GCI: 04\n\r\nOK\r\n", "04"},
        QueryCase{"SecondColonStaysInValue", "+GCI: 04:3D\r\nOK\r\n", "04:3D"},
        QueryCase{"ColonInLeftoverOfEarlierReply", "K: \r\nat+gmi?\r\r\n+GMI: ORVA\r\n\r\nOK\r\n",
                  "at+gmi?"},
        QueryCase{"NumericResultCodes", "at+gci?\r+GCI: 3D\r0\r", "3D"},
        QueryCase{"ListOfValues", "at+gci?\r\r\n+GCI: (04,3D,B5)\r\n\r\nOK\r\n", "(04,3D,B5)"}),
    CaseName<QueryCase>);

// --- Quotes ---

struct QuoteCase {
    const char* name;
    std::string value;
    std::string expected;
};

class StripEnclosingQuotesTest : public ::testing::TestWithParam<QuoteCase> {};

TEST_P(StripEnclosingQuotesTest, RemovesOnlyAPairAtBothEnds) {
    EXPECT_EQ(StripEnclosingQuotes(GetParam().value), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Values, StripEnclosingQuotesTest,
                         ::testing::Values(QuoteCase{"Enclosed", "\"ORVA 56k\"", "ORVA 56k"},
                                           QuoteCase{"Bare", "ORVA 56k", "ORVA 56k"},
                                           QuoteCase{"OpeningOnly", "\"ORVA 56k", "\"ORVA 56k"},
                                           QuoteCase{"ClosingOnly", "ORVA 56k\"", "ORVA 56k\""},
                                           QuoteCase{"LoneQuote", "\"", ""},
                                           QuoteCase{"EmptyPair", "\"\"", ""},
                                           QuoteCase{"InnerQuotesStay", "\"a\"b\"", "a\"b"},
                                           QuoteCase{"Empty", "", ""}),
                         CaseName<QuoteCase>);

// --- Judgements that answer yes or no ---

struct JudgeCase {
    const char* name;
    std::string text;
    bool bExpected;
};

class MakerValueTest : public ::testing::TestWithParam<JudgeCase> {};
TEST_P(MakerValueTest, NamesTheMaker) {
    EXPECT_EQ(IsMakerValue(GetParam().text), GetParam().bExpected);
}
INSTANTIATE_TEST_SUITE_P(Values, MakerValueTest,
                         ::testing::Values(JudgeCase{"Exact", "ORVA", true},
                                           JudgeCase{"Longer", "ORVA Communications", true},
                                           JudgeCase{"Inside", "\"XORVAX\"", true},
                                           JudgeCase{"LowerCase", "orva", false},
                                           JudgeCase{"MixedCase", "Orva", false},
                                           JudgeCase{"Other", "ACME", false},
                                           JudgeCase{"Empty", "", false}),
                         CaseName<JudgeCase>);

class CallWaitingReplyTest : public ::testing::TestWithParam<JudgeCase> {};
TEST_P(CallWaitingReplyTest, NeedsOkAfterTheStart) {
    EXPECT_EQ(IsCallWaitingReplyOk(GetParam().text), GetParam().bExpected);
}
INSTANTIATE_TEST_SUITE_P(
    Replies, CallWaitingReplyTest,
    ::testing::Values(JudgeCase{"EchoValueAndOk", "at+pcw?\r\r\n+PCW: 0\r\n\r\nOK\r\n", true},
                      JudgeCase{"EchoAndOk", "at+pcw?\r\r\nOK\r\n", true},
                      JudgeCase{"OkAtSecondByte", "\nOK", true},
                      JudgeCase{"StartsWithOkAndMoreOkLater", "OK\r\nat+pcw?\r\r\nOK\r\n", false},
                      JudgeCase{"OkAlone", "OK\r\n", false},
                      JudgeCase{"EchoAndError", "at+pcw?\r\r\nERROR\r\n", false},
                      JudgeCase{"ErrorAlone", "ERROR\r\n", false},
                      JudgeCase{"LowerCaseOk", "at+pcw?\r\r\nok\r\n", false},
                      JudgeCase{"Silence", "", false}),
    CaseName<JudgeCase>);

class CountryValueTest : public ::testing::TestWithParam<JudgeCase> {};
TEST_P(CountryValueTest, AcceptsGermanyOnly) {
    EXPECT_EQ(IsGermanCountryValue(GetParam().text), GetParam().bExpected);
}
INSTANTIATE_TEST_SUITE_P(
    Values, CountryValueTest,
    ::testing::Values(JudgeCase{"TwoDigits04", "04", true}, JudgeCase{"OneDigit4", "4", true},
                      JudgeCase{"Code42", "42", true}, JudgeCase{"Contains04", "104", true},
                      JudgeCase{"DigitsAcrossLetters", "0x4", true},
                      JudgeCase{"InList", "(3D,04)", true}, JudgeCase{"Hex3D", "3D", false},
                      JudgeCase{"HexB5", "B5", false}, JudgeCase{"HexFD", "FD", false},
                      JudgeCase{"Fourteen", "14", false}, JudgeCase{"CodeWithANine", "49", false},
                      JudgeCase{"FourAmongOtherDigits", "44", false},
                      JudgeCase{"Empty", "", false}),
    CaseName<JudgeCase>);

class SupportedModelNameTest : public ::testing::TestWithParam<JudgeCase> {};
TEST_P(SupportedModelNameTest, ContainsTheModelWords) {
    EXPECT_EQ(IsSupportedModelName(GetParam().text), GetParam().bExpected);
}
INSTANTIATE_TEST_SUITE_P(Names, SupportedModelNameTest,
                         ::testing::Values(JudgeCase{"WithPort", "ORVA 56k (COM3)", true},
                                           JudgeCase{"Longer", "ORVA 56k V.92 Data (COM4)", true},
                                           JudgeCase{"LowerCase", "orva 56k (com3)", false},
                                           JudgeCase{"NoBlank", "ORVA56k (COM3)", false},
                                           JudgeCase{"CapitalK", "ORVA 56K (COM3)", false},
                                           JudgeCase{"Unknown", "unknown (COM3)", false}),
                         CaseName<JudgeCase>);

TEST(KeepDigitsTest, DropsEverythingButDigitsInOrder) {
    EXPECT_EQ(KeepDigits("+GCI: (04,3D)\r\n"), "043");
    EXPECT_EQ(KeepDigits("FD"), "");
    EXPECT_EQ(KeepDigits("\xb2\xb3"), "");  // superscript digits of Latin-1 are no digits
}

}  // namespace
