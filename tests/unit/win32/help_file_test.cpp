// The help file's mark of the web, removed before the help shows, and the word to the user where
// it stays: observed through the seam, as Wine's file systems keep no marks. (The real calls, on
// a help file in a folder the ANSI code page cannot write: the end-to-end tests' first run.)
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/help_file.h"

namespace {

const std::wstring kHelp = L"C:\\Users\\\u0141ukasz\\Mavris\\help\\Mavris.chm";

// The file system answers nDeleteError to the stream's removal and bStays when asked whether it
// is still there; the viewer records what it is asked to do.
struct MarkCase {
    const char* name;
    DWORD nDeleteError;
    bool bStays;
    HelpOpened opened;
};

class HelpFileTest : public ::testing::TestWithParam<MarkCase>,
                     private IZoneMarks,
                     private IHelpViewer {
protected:
    DWORD DeleteStream(const std::wstring& stream) override {
        m_deleted.push_back(stream);
        return GetParam().nDeleteError;
    }
    bool StreamExists(const std::wstring&) override { return GetParam().bStays; }
    bool ShowHelp(HWND, const std::wstring& path) override {
        m_shown.push_back(path);
        return true;
    }
    void TellBlocked(HWND) override { ++m_nTold; }

    HelpOpened Open() { return OpenHelpFile(*this, *this, nullptr, kHelp); }

    std::vector<std::wstring> m_deleted;
    std::vector<std::wstring> m_shown;
    int m_nTold = 0;
};

TEST_P(HelpFileTest, TheMarkGoesBeforeTheHelpShowsOrTheUserIsTold) {
    const bool bBlocked = GetParam().opened == HelpOpened::kBlocked;
    EXPECT_EQ(Open(), GetParam().opened);
    // That file's stream only, and nothing else; the path reaches the viewer as it was built.
    EXPECT_EQ(m_deleted, std::vector<std::wstring>{kHelp + L":Zone.Identifier"});
    EXPECT_EQ(m_shown, bBlocked ? std::vector<std::wstring>{} : std::vector<std::wstring>{kHelp});
    EXPECT_EQ(m_nTold, bBlocked ? 1 : 0);
}

INSTANTIATE_TEST_SUITE_P(
    Marks, HelpFileTest,
    ::testing::Values(MarkCase{"NoMark", ERROR_FILE_NOT_FOUND, false, HelpOpened::kShown},
                      MarkCase{"Removed", ERROR_SUCCESS, false, HelpOpened::kShown},
                      MarkCase{"KeptInAFolderTheUserMayNotWrite", ERROR_ACCESS_DENIED, true,
                               HelpOpened::kBlocked},
                      MarkCase{"FileSystemWithoutStreams", ERROR_INVALID_NAME, false,
                               HelpOpened::kShown}),
    [](const ::testing::TestParamInfo<MarkCase>& info) { return info.param.name; });

}  // namespace
