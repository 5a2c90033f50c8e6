// The Extra options dialog on an in-memory layout with the real control ids, on a real
// call-waiting control whose telephony location lives in Wine's registry: what it shows, what
// the prefix field lets in, and what OK and Cancel store.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "modem/call_waiting_control.h"
#include "modem/dial_prefix.h"
#include "platform/win32/win32_platform.h"
#include "ui/extra_dlg.h"
#include "ui/resource.h"
#include "ui/text.h"
#include "unit/win32/dialog_template.h"

namespace {

constexpr const char kLocations[] =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Telephony\\Locations";

class CFakeCallOut : public ICallOutSetting {
public:
    std::uint32_t ReadCallOut() override { return m_nValue; }
    void WriteCallOut(std::uint32_t value) override { m_writes.push_back(value); }

    std::uint32_t m_nValue = 1;
    std::vector<std::uint32_t> m_writes;
};

void SetLocationPrefix(const std::string& prefix) {
    HKEY hKey = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, kLocations, 0, nullptr, 0, KEY_ALL_ACCESS,
                              nullptr, &hKey, nullptr),
              ERROR_SUCCESS);
    const DWORD nId = 1;
    RegSetValueExA(hKey, "CurrentID", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&nId),
                   sizeof nId);
    RegCloseKey(hKey);
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, (std::string(kLocations) + "\\Location1").c_str(),
                              0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &hKey, nullptr),
              ERROR_SUCCESS);
    RegSetValueExA(hKey, "OutsideAccess", 0, REG_SZ, reinterpret_cast<const BYTE*>(prefix.c_str()),
                   static_cast<DWORD>(prefix.size() + 1));
    RegCloseKey(hKey);
}

class ExtraDlgTest : public ::testing::Test {
protected:
    ExtraDlgTest()
        : m_layout(DS_MODALFRAME | WS_POPUP | WS_CAPTION | WS_SYSMENU, 0, 0, 221, 132, "extra"),
          m_callWaiting(GetWin32Platform(), nullptr) {
        m_layout
            .Add(CDialogTemplate::kEdit, IDC_OUTSIDE_LINE, ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP,
                 165, 15, 40, 14)
            .Add(CDialogTemplate::kEdit, IDC_ACTIVATE_CODE, ES_AUTOHSCROLL | ES_READONLY, 165, 45,
                 40, 14)
            .Add(CDialogTemplate::kEdit, IDC_DEACTIVATE_CODE, ES_AUTOHSCROLL | ES_READONLY, 165, 65,
                 40, 14)
            .Add(CDialogTemplate::kStatic, IDC_OUTSIDE_LINE_LABEL, SS_LEFT, 90, 20, 60, 8)
            .Add(CDialogTemplate::kStatic, IDC_ACTIVATE_LABEL, SS_LEFT, 90, 50, 70, 8)
            .Add(CDialogTemplate::kStatic, IDC_DEACTIVATE_LABEL, SS_LEFT, 90, 70, 70, 8)
            .Add(CDialogTemplate::kButton, IDOK, BS_DEFPUSHBUTTON, 135, 112, 50, 14, "Ok")
            .Add(CDialogTemplate::kButton, IDCANCEL, BS_PUSHBUTTON, 39, 112, 50, 14, "Cancel")
            .Add(CDialogTemplate::kButton, IDC_CALL_OUT, BS_AUTOCHECKBOX, 90, 90, 115, 10);
    }
    void TearDown() override { Close(); }

    // Opens the dialog (modeless here, so the test can work in it); returns its window.
    HWND Open() {
        Close();
        m_pDialog = std::make_unique<CExtraDlg>(&m_callWaiting, &m_callOut, nullptr);
        m_pDialog->InitIndirect(m_layout.Get());
        EXPECT_TRUE(m_pDialog->Create());
        m_hDlg = m_pDialog->GetSafeHwnd();
        m_hEdit = GetDlgItem(m_hDlg, IDC_OUTSIDE_LINE);
        return m_hDlg;
    }
    void Close() {
        if (m_pDialog != nullptr) {
            m_pDialog->DestroyWindow();
            m_pDialog.reset();
        }
    }
    void Press(int nId) {
        SendMessageA(m_hDlg, WM_COMMAND, MAKEWPARAM(nId, BN_CLICKED),
                     reinterpret_cast<LPARAM>(GetDlgItem(m_hDlg, nId)));
    }
    std::string EditText() const { return GetWindowTextString(m_hEdit); }
    // Types one character into the prefix field at the caret, as the keyboard would.
    void Type(char c) { SendMessageA(m_hEdit, WM_CHAR, static_cast<unsigned char>(c), 0); }
    void SetCaret(int n) { SendMessageA(m_hEdit, EM_SETSEL, n, n); }
    int Caret() const {
        DWORD nStart = 0;
        DWORD nEnd = 0;
        SendMessageA(m_hEdit, EM_GETSEL, reinterpret_cast<WPARAM>(&nStart),
                     reinterpret_cast<LPARAM>(&nEnd));
        return static_cast<int>(nEnd);
    }

    CDialogTemplate m_layout;
    CCallWaitingControl m_callWaiting;
    CFakeCallOut m_callOut;
    std::unique_ptr<CExtraDlg> m_pDialog;
    HWND m_hDlg = nullptr;
    HWND m_hEdit = nullptr;
};

TEST_F(ExtraDlgTest, ShowsTheLocationsPrefixFilteredAndKeepsItAsReadEvenOnCancel) {
    SetLocationPrefix("0 9");
    ASSERT_NE(Open(), nullptr);
    EXPECT_EQ(EditText(), "09");
    EXPECT_EQ(GetWindowTextString(GetDlgItem(m_hDlg, IDC_ACTIVATE_CODE)), "*43#");
    EXPECT_EQ(GetWindowTextString(GetDlgItem(m_hDlg, IDC_DEACTIVATE_CODE)), "#43#");
    Press(IDCANCEL);
    EXPECT_EQ(m_callWaiting.GetOutsideAccess(), "0 9") << "the location's prefix as read";
    EXPECT_TRUE(m_callOut.m_writes.empty()) << "Cancel stores nothing";

    // OK on the prefix as shown leaves it the location's: the next location's applies.
    ASSERT_NE(Open(), nullptr);
    Press(IDOK);
    SetLocationPrefix("0");
    EXPECT_EQ(m_callWaiting.GetOutsideAccess(), "0");
}

TEST_F(ExtraDlgTest, TypedCharactersOtherThanDigitsCommaAndWDisappearAtOnce) {
    SetLocationPrefix("");
    ASSERT_NE(Open(), nullptr);
    struct Typed {
        char c;
        const char* after;
    };
    const Typed typed[] = {{'0', "0"},   {' ', "0"},      {',', "0,"},   {'-', "0,"},
                           {'W', "0,W"}, {'*', "0,W"},    {'#', "0,W"},  {'p', "0,W"},
                           {'a', "0,W"}, {'\xE4', "0,W"}, {'w', "0,Ww"}, {'9', "0,Ww9"}};
    for (const Typed& t : typed) {
        Type(t.c);
        EXPECT_EQ(EditText(), t.after)
            << "after typing 0x" << std::hex << static_cast<int>(static_cast<unsigned char>(t.c));
        EXPECT_EQ(Caret(), static_cast<int>(std::strlen(t.after))) << "caret at the end";
    }
}

TEST_F(ExtraDlgTest, ARejectedCharacterInTheMiddleLeavesTheCaretWhereItWas) {
    SetLocationPrefix("0123");
    ASSERT_NE(Open(), nullptr);
    SetCaret(2);
    Type('x');
    EXPECT_EQ(EditText(), "0123");
    EXPECT_EQ(Caret(), 2);
    Type('5');
    EXPECT_EQ(EditText(), "01523");
    EXPECT_EQ(Caret(), 3);
}

TEST_F(ExtraDlgTest, PastedTextKeepsOnlyTheDialCharacters) {
    SetLocationPrefix("");
    ASSERT_NE(Open(), nullptr);
    SendMessageA(m_hEdit, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>("0 - 9"));
    EXPECT_EQ(EditText(), "09");
}

TEST_F(ExtraDlgTest, ThePrefixCannotGrowBeyondWhatTheDialCommandHolds) {
    SetLocationPrefix(std::string(250, '7'));  // longer than the field, within the location's 255
    ASSERT_NE(Open(), nullptr);
    EXPECT_EQ(SendMessageA(m_hEdit, EM_GETLIMITTEXT, 0, 0),
              static_cast<LRESULT>(kMaxOutsideLineLength));
    EXPECT_EQ(EditText(), std::string(kMaxOutsideLineLength, '7')) << "a long location prefix";
    SetCaret(static_cast<int>(kMaxOutsideLineLength));
    Type('8');
    EXPECT_EQ(EditText(), std::string(kMaxOutsideLineLength, '7')) << "typed beyond the limit";

    SetWindowTextA(m_hEdit, "");
    const std::string pasted = std::string(200, '1') + " " + std::string(100, '2');
    SendMessageA(m_hEdit, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(pasted.c_str()));
    EXPECT_LE(EditText().size(), kMaxOutsideLineLength) << "pasted beyond the limit";

    Press(IDOK);
    EXPECT_LE(m_callWaiting.GetOutsideAccess().size(), kMaxOutsideLineLength);
}

TEST_F(ExtraDlgTest, OkStoresThePrefixInMemoryAndTheCheckBoxAsCallOut) {
    SetLocationPrefix("9");
    m_callOut.m_nValue = 0;
    ASSERT_NE(Open(), nullptr);
    EXPECT_EQ(IsDlgButtonChecked(m_hDlg, IDC_CALL_OUT), static_cast<UINT>(BST_UNCHECKED));
    SetWindowTextA(m_hEdit, "");
    Type('0');
    Type('W');
    CheckDlgButton(m_hDlg, IDC_CALL_OUT, BST_CHECKED);
    Press(IDOK);
    EXPECT_EQ(m_callWaiting.GetOutsideAccess(), "0W");
    EXPECT_EQ(m_callOut.m_writes, std::vector<std::uint32_t>{1});

    // Opened again on the same control object, the stored prefix wins over the location.
    m_callOut.m_nValue = 1;
    ASSERT_NE(Open(), nullptr);
    EXPECT_EQ(EditText(), "0W");
    EXPECT_EQ(IsDlgButtonChecked(m_hDlg, IDC_CALL_OUT), static_cast<UINT>(BST_CHECKED));
    CheckDlgButton(m_hDlg, IDC_CALL_OUT, BST_UNCHECKED);
    Press(IDOK);
    EXPECT_EQ(m_callOut.m_writes, (std::vector<std::uint32_t>{1, 0}));
}

TEST_F(ExtraDlgTest, CancelAfterEditingKeepsTheStoredPrefixAndCallOut) {
    SetLocationPrefix("9");
    m_callWaiting.SetOutsideAccess("5");
    ASSERT_NE(Open(), nullptr);
    EXPECT_EQ(EditText(), "5");
    SetWindowTextA(m_hEdit, "123");
    CheckDlgButton(m_hDlg, IDC_CALL_OUT, BST_UNCHECKED);
    Press(IDCANCEL);
    EXPECT_EQ(m_callWaiting.GetOutsideAccess(), "5");
    EXPECT_TRUE(m_callOut.m_writes.empty());
}

TEST_F(ExtraDlgTest, OkWithAnEmptyFieldLetsTheNextOpeningShowTheLocationAgain) {
    SetLocationPrefix("9");
    m_callWaiting.SetOutsideAccess("5");
    ASSERT_NE(Open(), nullptr);
    SetWindowTextA(m_hEdit, "");
    Press(IDOK);
    ASSERT_NE(Open(), nullptr);
    EXPECT_EQ(EditText(), "9");
}

TEST_F(ExtraDlgTest, OnlyCallOutOneTicksTheBox) {
    SetLocationPrefix("");
    for (std::uint32_t nValue : {0u, 1u, 2u, 0xFFFFFFFFu}) {
        m_callOut.m_nValue = nValue;
        ASSERT_NE(Open(), nullptr);
        EXPECT_EQ(IsDlgButtonChecked(m_hDlg, IDC_CALL_OUT),
                  static_cast<UINT>(nValue == 1 ? BST_CHECKED : BST_UNCHECKED))
            << "CallOut " << nValue;
    }
}

}  // namespace
