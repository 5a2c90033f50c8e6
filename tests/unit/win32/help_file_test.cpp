// The help file: its path beside the program in wide characters, the mark of the web removed
// before it is shown, and the word to the user where the mark stays. The marks are observed
// through the seam (Wine's file systems keep none); the real calls are run against a file whose
// folder the ANSI code page cannot write, which must come through whole.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/help_file.h"

namespace {

// A folder of a user whose name Western European code pages cannot write.
const std::wstring kProgram = L"C:\\Users\\\u0141ukasz\\Mavris\\Mavris.exe";
const std::wstring kHelp = L"C:\\Users\\\u0141ukasz\\Mavris\\help\\Mavris.chm";

class CFakeZoneMarks : public IZoneMarks {
public:
    DWORD DeleteStream(const std::wstring& streamPath) override {
        m_deleted.push_back(streamPath);
        return m_nDeleteError;
    }
    bool StreamExists(const std::wstring& streamPath) override {
        m_looked.push_back(streamPath);
        return m_bExists;
    }

    DWORD m_nDeleteError = ERROR_SUCCESS;
    bool m_bExists = false;
    std::vector<std::wstring> m_deleted;
    std::vector<std::wstring> m_looked;
};

class CFakeHelpViewer : public IHelpViewer {
public:
    bool ShowHelp(HWND hOwner, const std::wstring& path) override {
        m_shown.push_back(path);
        m_hOwner = hOwner;
        return m_bShows;
    }
    void TellBlocked(HWND hOwner) override {
        ++m_nTold;
        m_hOwner = hOwner;
    }

    bool m_bShows = true;
    std::vector<std::wstring> m_shown;
    int m_nTold = 0;
    HWND m_hOwner = nullptr;
};

// A help request on a file with or without its mark, on file systems and in folders that let
// the mark go or keep it.
struct MarkCase {
    const char* name;
    DWORD nDeleteError;
    bool bStreamStays;
    bool bViewerShows;
    ZoneMark mark;
    HelpOpened opened;
};

class HelpFileMarkTest : public ::testing::TestWithParam<MarkCase> {};

TEST_P(HelpFileMarkTest, TheMarkGoesBeforeTheHelpShowsOrTheUserIsTold) {
    const MarkCase& c = GetParam();
    CFakeZoneMarks marks;
    marks.m_nDeleteError = c.nDeleteError;
    marks.m_bExists = c.bStreamStays;
    EXPECT_EQ(RemoveZoneMark(marks, kHelp), c.mark);

    marks.m_deleted.clear();
    CFakeHelpViewer viewer;
    viewer.m_bShows = c.bViewerShows;
    HWND hOwner = GetDesktopWindow();
    EXPECT_EQ(OpenHelpFile(marks, viewer, hOwner, kHelp), c.opened);
    // That file's stream only, and nothing else.
    EXPECT_EQ(marks.m_deleted, std::vector<std::wstring>{kHelp + L":Zone.Identifier"});
    const bool bBlocked = c.opened == HelpOpened::kBlocked;
    EXPECT_EQ(viewer.m_nTold, bBlocked ? 1 : 0);
    EXPECT_EQ(viewer.m_shown,
              bBlocked ? std::vector<std::wstring>{} : std::vector<std::wstring>{kHelp});
    EXPECT_EQ(viewer.m_hOwner, hOwner);
}

INSTANTIATE_TEST_SUITE_P(
    Marks, HelpFileMarkTest,
    ::testing::Values(
        MarkCase{"NoMark", ERROR_FILE_NOT_FOUND, false, true, ZoneMark::kNone, HelpOpened::kShown},
        MarkCase{"MarkRemoved", ERROR_SUCCESS, false, true, ZoneMark::kRemoved, HelpOpened::kShown},
        MarkCase{"MarkKeptInAFolderTheUserMayNotWrite", ERROR_ACCESS_DENIED, true, true,
                 ZoneMark::kKept, HelpOpened::kBlocked},
        MarkCase{"MarkKeptOnAReadOnlyDisk", ERROR_WRITE_PROTECT, true, true, ZoneMark::kKept,
                 HelpOpened::kBlocked},
        MarkCase{"FileSystemWithoutStreams", ERROR_INVALID_NAME, false, true, ZoneMark::kNone,
                 HelpOpened::kShown},
        MarkCase{"NoHelpViewer", ERROR_FILE_NOT_FOUND, false, false, ZoneMark::kNone,
                 HelpOpened::kNotShown}),
    [](const ::testing::TestParamInfo<MarkCase>& info) { return info.param.name; });

TEST(HelpFileTest, TheHelpFileLiesInTheProgramsFolderWhateverItsLetters) {
    EXPECT_EQ(HelpFileBeside(kProgram), kHelp);
    EXPECT_EQ(HelpFileBeside(L"D:/Tools/Mavris.exe"), L"D:/Tools/help\\Mavris.chm");
    EXPECT_EQ(HelpFileBeside(L"Mavris.exe"), L"help\\Mavris.chm");
    CFakeZoneMarks marks;
    EXPECT_EQ(RemoveZoneMark(marks, L""), ZoneMark::kNone);
    EXPECT_TRUE(marks.m_deleted.empty()) << "no path, no stream of any file";
}

// The real calls: the program's own path in wide characters, and a help file in a folder named
// with a letter outside the ANSI code page, which has no mark here and must stay as it is.
TEST(HelpFileTest, TheRealCallsLeaveAnUnmarkedFileWhole) {
    const std::wstring program = GetProgramPath();
    ASSERT_GE(program.size(), 4u);
    EXPECT_EQ(program.substr(program.size() - 4), L".exe");
    EXPECT_NE(GetFileAttributesW(program.c_str()), INVALID_FILE_ATTRIBUTES);

    wchar_t szTemp[MAX_PATH] = {};
    ASSERT_GT(GetTempPathW(MAX_PATH, szTemp), 0u);
    const std::wstring folder =
        std::wstring(szTemp) + L"\u0141ukasz" + std::to_wstring(GetCurrentProcessId());
    CreateDirectoryW(folder.c_str(), nullptr);
    CreateDirectoryW((folder + L"\\help").c_str(), nullptr);
    const std::wstring help = HelpFileBeside(folder + L"\\Mavris.exe");
    HANDLE hFile = CreateFileW(help.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(hFile, INVALID_HANDLE_VALUE);
    DWORD nWritten = 0;
    WriteFile(hFile, "ITSF", 4, &nWritten, nullptr);
    CloseHandle(hFile);

    EXPECT_EQ(RemoveZoneMark(GetWin32ZoneMarks(), help), ZoneMark::kNone);
    WIN32_FILE_ATTRIBUTE_DATA data{};
    ASSERT_TRUE(GetFileAttributesExW(help.c_str(), GetFileExInfoStandard, &data))
        << "the help file itself went";
    EXPECT_EQ(data.nFileSizeLow, 4u);

    DeleteFileW(help.c_str());
    RemoveDirectoryW((folder + L"\\help").c_str());
    RemoveDirectoryW(folder.c_str());
}

}  // namespace
