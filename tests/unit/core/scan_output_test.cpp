// The line format of mavris-scan: fields are escaped so that no registry text can break a
// line apart or forge one, and the list prints in order with the count last.
#include "scan/scan_output.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "modem/modem_list.h"
#include "modem_test_support.h"

namespace {

std::string Capture(void (*print)(std::FILE*, const void*), const void* arg) {
    std::FILE* out = std::tmpfile();
    EXPECT_NE(out, nullptr);
    print(out, arg);
    std::string text;
    std::rewind(out);
    for (int c; (c = std::fgetc(out)) != EOF;) {
        text += static_cast<char>(c);
    }
    std::fclose(out);
    return text;
}

struct EscapeCase {
    const char* name;
    std::string input;
    std::string expected;
};

void PrintTo(const EscapeCase& c, std::ostream* os) {
    *os << c.name;
}

class EscapeFieldTest : public ::testing::TestWithParam<EscapeCase> {};

TEST_P(EscapeFieldTest, Escapes) {
    EXPECT_EQ(EscapeField(GetParam().input), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Fields, EscapeFieldTest,
    ::testing::Values(EscapeCase{"PlainNameStays", "ORVA 56k V.92 (COM3)", "ORVA 56k V.92 (COM3)"},
                      EscapeCase{"Empty", "", ""},
                      EscapeCase{"UserInitCharactersStay", "+PCW=2;S7=60&K3", "+PCW=2;S7=60&K3"},
                      EscapeCase{"Tab", "a\tb", "a\\tb"},
                      EscapeCase{"LineEnds", "a\r\nmodem\t9", "a\\r\\nmodem\\t9"},
                      EscapeCase{"Backslash", "C:\\x", "C:\\\\x"},
                      EscapeCase{"OtherControls", std::string("a\0b\x1f\x7f", 5),
                                 "a\\x00b\\x1F\\x7F"},
                      EscapeCase{"HighBytesStay", "Ger\xe4t", "Ger\xe4t"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ScanOutputTest, WarningLine) {
    std::FILE* out = std::tmpfile();
    ASSERT_NE(out, nullptr);
    PrintCountryWarning(out, 1, "ORVA 56k\nV.92 (COM4)");
    std::rewind(out);
    char line[128] = {};
    ASSERT_NE(std::fgets(line, sizeof(line), out), nullptr);
    EXPECT_STREQ(line, "warning\t1\tORVA 56k\\nV.92 (COM4)\n");
    EXPECT_EQ(std::fgetc(out), EOF);
    std::fclose(out);
}

TEST(ScanOutputTest, EmptyListPrintsOnlyTheCount) {
    FakePlatform fake;
    CModemList list(fake.platform);
    EXPECT_EQ(
        Capture([](std::FILE* out,
                   const void* p) { PrintModemList(out, *static_cast<const CModemList*>(p)); },
                &list),
        "count\t0\n");
}

TEST(ScanOutputTest, ListPrintsEveryModemInOrderThenTheCount) {
    FakePlatform fake;
    fake.AddModemKey(0, "COM3", "ORVA 56k V.92", "at s7=60 l2");
    fake.AddModem(3);
    // A model whose name holds a tab and a line end must stay on its own line and field.
    fake.AddModemKey(1, "COM12", "ORVA 56k\tV.92\nmodem", nullptr, true);
    FakeModemAnswers answers;
    answers.strModel = "ORVA 56k\tV.92\nmodem";
    fake.AddModem(12, answers);
    CModemList list(fake.platform);
    list.LoadRegEntries();
    list.ReduceToModemOnHoldSupported();
    ASSERT_EQ(list.GetCount(), 2);
    EXPECT_EQ(
        Capture([](std::FILE* out,
                   const void* p) { PrintModemList(out, *static_cast<const CModemList*>(p)); },
                &list),
        "modem\t0\tORVA 56k V.92 (COM3)\t0\tATS7=60L2\n"
        "modem\t1\tORVA 56k\\tV.92\\nmodem (COM12)\t1\t\n"
        "count\t2\n");
}

}  // namespace
