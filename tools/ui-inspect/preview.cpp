// ui-preview: shows one dialog layout of the resources on its own, without the
// program's dialog code, for looking at the layouts and for testing ui-inspect.
//
//   ui-preview DIALOG-ID          the bare template, as the resource compiler made it
//   ui-preview --catalogue FILE   writes the texts 100 to 199 and the items of menu 125
//                                 of the thread's language, and the six dialog templates
//                                 as stored, to FILE (UTF-8) and ends
//   ui-preview DIALOG-ID --fill   with the texts of the current language put in the way
//                                 the dialogs do it, the scan-dependent controls of the
//                                 main dialog shown with two sample modems, the bold
//                                 lines in bold and the pictures fitted to their frames
//                                 (both by the program's own functions) and the control
//                                 tips attached
//   ui-preview DIALOG-ID --fill --measure FILE
//                                 also writes the fonts, the room the texts need and the
//                                 pictures' bitmap sizes to FILE (measure.h)
//
// The first control always gets a tool tip with text 136 (bare mode), so that the
// inspector's reading of tips can be checked against a known tool.

#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <cstring>
#include <initializer_list>
#include <string>

#include "measure.h"
#include "menu_item.h"
#include "ui/dialog_pictures.h"
#include "ui/info_dlg.h"
#include "ui/resource.h"

namespace {

struct TextOfControl {
    int control;
    int text;
};

struct Layout {
    int dialog;
    int title;  // 0: none
    TextOfControl texts[8];
    TextOfControl tips[6];
};

// Which text goes where, as the dialogs fill themselves in.
const Layout kLayouts[] = {
    {IDD_ABOUTBOX,
     IDS_ABOUTBOX,
     {{IDC_ABOUT_VERSION, IDS_VERSION},
      {IDC_ABOUT_COPYRIGHT, IDS_COPYRIGHT},
      {IDC_LINK, IDS_WEB_ADDRESS}},
     {}},
    {IDD_MAIN,
     IDS_MAIN_TITLE,
     {{IDC_HIDE, IDS_HIDE},
      {IDC_EXIT, IDS_EXIT},
      {IDC_AUTORUN, IDS_RUN_ON_START},
      {IDC_SOUND, IDS_SOUND_CHECK}},
     {{IDC_MODEM_COMBO, IDS_TIP_MODEM_COMBO},
      {IDC_AUTORUN, IDS_TIP_AUTORUN},
      {IDC_SOUND, IDS_TIP_SOUND},
      {IDC_EXTRA, IDS_TIP_EXTRA},
      {IDC_INFO, IDS_TIP_INFO}}},
    {IDD_SCAN,
     IDS_SCAN_TITLE,
     {{IDC_SCAN_LINE1, IDS_SCAN_LOOKING}, {IDC_SCAN_LINE2, IDS_SCAN_MINUTES}},
     {}},
    {IDD_EXTRA,
     IDS_EXTRA_TITLE,
     {{IDC_OUTSIDE_LINE_LABEL, IDS_EXTERNAL_LINE},
      {IDC_ACTIVATE_LABEL, IDS_ACTIVATE},
      {IDC_DEACTIVATE_LABEL, IDS_DEACTIVATE},
      {IDC_CALL_OUT, IDS_CALL_OUT}},
     {{IDC_OUTSIDE_LINE, IDS_TIP_OUTSIDE_LINE},
      {IDC_ACTIVATE_CODE, IDS_TIP_ACTIVATE},
      {IDC_DEACTIVATE_CODE, IDS_TIP_DEACTIVATE},
      {IDC_CALL_OUT, IDS_TIP_CALL_OUT}}},
    {IDD_WAIT, 0, {{IDC_WAIT_TEXT, IDS_WAIT_TEXT}}, {}},
    {IDD_INFO, IDS_CLOSING, {{IDC_INFO_LINE, IDS_NO_MODEM}, {IDC_INFO_EXIT, IDS_EXIT}}, {}},
};

bool g_bFill = false;
HFONT g_hBold = nullptr;
CDialogPictures g_pictures;
const char* g_pszMeasure = nullptr;

struct Text {
    explicit Text(int id) {
        LoadStringA(GetModuleHandleA(nullptr), static_cast<UINT>(id), m_sz, sizeof m_sz);
    }
    const char* c_str() const { return m_sz; }
    char m_sz[256] = {};
};

HWND CreateTip(HWND dlg) {
    return CreateWindowExA(0, TOOLTIPS_CLASSA, nullptr, 0, 0, 0, 0, 0, dlg, nullptr,
                           GetModuleHandleA(nullptr), nullptr);
}

void AddTip(HWND tip, HWND control, int text) {
    TOOLINFOA ti = {};
    ti.cbSize = sizeof ti;
    ti.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    ti.hwnd = GetParent(control);
    ti.uId = reinterpret_cast<UINT_PTR>(control);
    ti.hinst = GetModuleHandleA(nullptr);
    ti.lpszText = MAKEINTRESOURCEA(text);
    SendMessageA(tip, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&ti));
}

void Fill(HWND dlg, const Layout& l) {
    if (l.title)
        SetWindowTextA(dlg, Text(l.title).c_str());
    for (const TextOfControl& t : l.texts)
        if (t.control)
            SetDlgItemTextA(dlg, t.control, Text(t.text).c_str());
    HWND tip = CreateTip(dlg);
    for (const TextOfControl& t : l.tips)
        if (t.control)
            AddTip(tip, GetDlgItem(dlg, t.control), t.text);

    g_pictures.Fit(dlg, FindDialogTemplate(static_cast<UINT>(l.dialog)));
    g_hBold = CreateBoldDialogFont(dlg);
    for (int bold : {IDC_MODEM_NAME, IDC_INFO_LINE})
        if (HWND c = GetDlgItem(dlg, bold))
            SendMessageA(c, WM_SETFONT, reinterpret_cast<WPARAM>(g_hBold), TRUE);

    if (l.dialog == IDD_MAIN) {
        // What the main dialog shows after a scan that found two modems.
        HWND combo = GetDlgItem(dlg, IDC_MODEM_COMBO);
        SendMessageA(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>("ORVA 56k V.92 Modem"));
        SendMessageA(combo, CB_ADDSTRING, 0,
                     reinterpret_cast<LPARAM>("ORVA 56k V.92 Modem #2 (COM3)"));
        SendMessageA(combo, CB_SETCURSEL, 0, 0);
        SetDlgItemTextA(dlg, IDC_MODEM_NAME, "ORVA 56k V.92 Modem");
        char count[300];
        std::snprintf(count, sizeof count, "%d%s", 2, Text(IDS_N_MODEMS).c_str());
        SetDlgItemTextA(dlg, IDC_MODEM_COUNT, count);
        for (int id : {IDC_MODEM_COMBO, IDC_AUTORUN_GROUP, IDC_AUTORUN})
            ShowWindow(GetDlgItem(dlg, id), SW_SHOW);
        CheckDlgButton(dlg, IDC_AUTORUN, BST_CHECKED);
        CheckDlgButton(dlg, IDC_SOUND, BST_CHECKED);
    } else if (l.dialog == IDD_EXTRA) {
        SetDlgItemTextA(dlg, IDC_OUTSIDE_LINE, "0");
        SetDlgItemTextA(dlg, IDC_ACTIVATE_CODE,
                        GetBehaviourInfo(Behaviour::kCutTheLine).szServiceCode);
        SetDlgItemTextA(dlg, IDC_DEACTIVATE_CODE,
                        GetBehaviourInfo(Behaviour::kStayConnected).szServiceCode);
        CheckDlgButton(dlg, IDC_CALL_OUT, BST_CHECKED);
    } else if (l.dialog == IDD_WAIT) {
        SendDlgItemMessageA(dlg, IDC_WAIT_PROGRESS, PBM_SETRANGE, 0, MAKELPARAM(0, 9));
        SendDlgItemMessageA(dlg, IDC_WAIT_PROGRESS, PBM_SETPOS, 4, 0);
    }
}

INT_PTR CALLBACK PreviewProc(HWND dlg, UINT msg, WPARAM, LPARAM lp) {
    switch (msg) {
        case WM_INITDIALOG: {
            const Layout* layout = nullptr;
            for (const Layout& l : kLayouts)
                if (l.dialog == static_cast<int>(lp))
                    layout = &l;
            if (g_bFill && layout) {
                Fill(dlg, *layout);
                if (g_pszMeasure != nullptr) {
                    if (FILE* f = std::fopen(g_pszMeasure, "wb")) {
                        inspect::WriteMeasurements(f, dlg);
                        std::fclose(f);
                    }
                }
            } else if (HWND first = GetWindow(dlg, GW_CHILD)) {
                AddTip(CreateTip(dlg), first, IDS_TIP_MODEM_COMBO);
            }
            return TRUE;
        }
        case WM_CLOSE:
            DestroyWindow(dlg);
            return TRUE;
        case WM_DESTROY:
            PostQuitMessage(0);
            return TRUE;
        default:
            return FALSE;
    }
}

void Escaped(FILE* f, const wchar_t* text) {
    for (const wchar_t* p = text; *p; ++p) {
        if (*p == L'\r') {
            std::fputs("\\r", f);
        } else if (*p == L'\n') {
            std::fputs("\\n", f);
        } else if (*p == L'\\') {
            std::fputs("\\\\", f);
        } else {
            char utf8[8] = {};
            int n = WideCharToMultiByte(CP_UTF8, 0, p, 1, utf8, sizeof utf8, nullptr, nullptr);
            std::fwrite(utf8, 1, static_cast<size_t>(n), f);
        }
    }
}

void DumpMenu(FILE* f, HMENU menu, int depth) {
    int n = GetMenuItemCount(menu);
    for (int k = 0; k < n; ++k) {
        MenuItem item;
        ReadMenuItem(menu, k, &item);
        const MENUITEMINFOW& mi = item.info;
        const wchar_t* text = item.text;
        std::fprintf(f, "menu\t%d\t%s\t%u\t", depth,
                     (mi.fType & MFT_SEPARATOR) ? "separator"
                     : mi.hSubMenu              ? "popup"
                                                : "item",
                     mi.hSubMenu ? 0u : mi.wID);
        Escaped(f, text);
        std::fputs("\n", f);
        if (mi.hSubMenu)
            DumpMenu(f, mi.hSubMenu, depth + 1);
    }
}

// Reads a DLGTEMPLATEEX field that is empty, an ordinal (0xFFFF, number) or a string.
const WORD* SzOrOrd(const WORD* p, std::wstring& out) {
    out.clear();
    if (*p == 0xFFFF) {
        out = L"#" + std::to_wstring(p[1]);
        return p + 2;
    }
    while (*p)
        out += static_cast<wchar_t>(*p++);
    return p + 1;
}

const wchar_t* ClassName(const std::wstring& cls) {
    static const wchar_t* const kNames[] = {L"Button",  L"Edit",      L"Static",
                                            L"ListBox", L"ScrollBar", L"ComboBox"};
    for (int k = 0; k < 6; ++k)
        if (cls == L"#" + std::to_wstring(0x80 + k))
            return kNames[k];
    return cls.c_str();
}

// One dialog template as the resource holds it: "dialog<TAB>id<TAB>style<TAB>exstyle<TAB>
// x,y,cx,cy<TAB>points<TAB>face<TAB>title", then per control "item<TAB>dialog<TAB>id<TAB>
// class<TAB>style<TAB>exstyle<TAB>x,y,cx,cy<TAB>text".
void DumpTemplate(FILE* f, int dialog) {
    HINSTANCE inst = GetModuleHandleW(nullptr);
    HRSRC res = FindResourceW(inst, MAKEINTRESOURCEW(dialog), reinterpret_cast<LPCWSTR>(RT_DIALOG));
    if (!res)
        return;
    auto* p = static_cast<const WORD*>(LockResource(LoadResource(inst, res)));
    if (!p || p[0] != 1 || p[1] != 0xFFFF)
        return;  // not a DLGTEMPLATEEX
    DWORD exStyle = *reinterpret_cast<const DWORD*>(p + 4);
    DWORD style = *reinterpret_cast<const DWORD*>(p + 6);
    WORD count = p[8];
    const short* box = reinterpret_cast<const short*>(p + 9);
    std::wstring menu, cls, title, face;
    p = SzOrOrd(p + 13, menu);
    p = SzOrOrd(p, cls);
    p = SzOrOrd(p, title);
    WORD points = 0;
    if (style & DS_SETFONT) {
        points = p[0];
        p = SzOrOrd(p + 3, face);  // weight, italic and character set come first
    }
    std::fprintf(f, "dialog\t%d\t0x%lx\t0x%lx\t%d,%d,%d,%d\t%u\t", dialog,
                 static_cast<unsigned long>(style), static_cast<unsigned long>(exStyle), box[0],
                 box[1], box[2], box[3], points);
    Escaped(f, face.c_str());
    std::fputs("\t", f);
    Escaped(f, title.c_str());
    std::fputs("\n", f);
    for (WORD k = 0; k < count; ++k) {
        // Every item starts on a DWORD boundary.
        p = reinterpret_cast<const WORD*>((reinterpret_cast<UINT_PTR>(p) + 3) & ~UINT_PTR(3));
        DWORD itemEx = *reinterpret_cast<const DWORD*>(p + 2);
        DWORD itemStyle = *reinterpret_cast<const DWORD*>(p + 4);
        const short* r = reinterpret_cast<const short*>(p + 6);
        LONG id = *reinterpret_cast<const LONG*>(p + 10);
        std::wstring itemClass, text;
        p = SzOrOrd(p + 12, itemClass);
        p = SzOrOrd(p, text);
        WORD extra = *p++;
        p = reinterpret_cast<const WORD*>(reinterpret_cast<const BYTE*>(p) + extra);
        std::fprintf(f, "item\t%d\t%ld\t", dialog, static_cast<long>(id));
        Escaped(f, ClassName(itemClass));
        std::fprintf(f, "\t0x%lx\t0x%lx\t%d,%d,%d,%d\t", static_cast<unsigned long>(itemStyle),
                     static_cast<unsigned long>(itemEx), r[0], r[1], r[2], r[3]);
        Escaped(f, text.c_str());
        std::fputs("\n", f);
    }
}

// The version record: "version<TAB>fixed<TAB>a.b.c.d" and "version<TAB>name<TAB>value" for
// the US English strings.
void DumpVersion(FILE* f) {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    DWORD ignored = 0;
    DWORD size = GetFileVersionInfoSizeW(path, &ignored);
    std::string data(size, '\0');
    if (!size || !GetFileVersionInfoW(path, 0, size, data.data()))
        return;
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT len = 0;
    if (VerQueryValueW(data.data(), L"\\", reinterpret_cast<void**>(&fixed), &len) && fixed)
        std::fprintf(f, "version\tfixed\t%lu.%lu.%lu.%lu\n",
                     static_cast<unsigned long>(HIWORD(fixed->dwFileVersionMS)),
                     static_cast<unsigned long>(LOWORD(fixed->dwFileVersionMS)),
                     static_cast<unsigned long>(HIWORD(fixed->dwFileVersionLS)),
                     static_cast<unsigned long>(LOWORD(fixed->dwFileVersionLS)));
    for (const wchar_t* name :
         {L"CompanyName", L"ProductName", L"FileVersion", L"ProductVersion"}) {
        std::wstring key = std::wstring(L"\\StringFileInfo\\040904b0\\") + name;
        wchar_t* value = nullptr;
        if (VerQueryValueW(data.data(), key.c_str(), reinterpret_cast<void**>(&value), &len) &&
            value) {
            std::fprintf(f, "version\t");
            Escaped(f, name);
            std::fputs("\t", f);
            Escaped(f, value);
            std::fputs("\n", f);
        }
    }
}

// The application manifest (resource 1 of type 24) on one line: "manifest<TAB>text".
void DumpManifest(FILE* f) {
    HINSTANCE inst = GetModuleHandleW(nullptr);
    HRSRC res = FindResourceW(inst, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24));
    if (!res)
        return;
    const char* text = static_cast<const char*>(LockResource(LoadResource(inst, res)));
    DWORD size = SizeofResource(inst, res);
    std::fputs("manifest\t", f);
    for (DWORD k = 0; text && k < size; ++k)
        if (text[k] != '\r' && text[k] != '\n' && text[k] != '\t')
            std::fputc(text[k], f);
    std::fputs("\n", f);
}

// The catalogue as this thread's language sees it: "text<TAB>id<TAB>found<TAB>text"
// and "menu<TAB>depth<TAB>kind<TAB>id<TAB>text" lines.
int WriteCatalogue(const char* path) {
    FILE* f = std::fopen(path, "wb");
    if (!f)
        return 4;
    HINSTANCE inst = GetModuleHandleW(nullptr);
    for (int id = 100; id < 200; ++id) {
        const wchar_t* text = nullptr;
        // With a buffer size of 0 the string's own read-only copy is returned.
        int len = LoadStringW(inst, static_cast<UINT>(id), reinterpret_cast<LPWSTR>(&text), 0);
        std::wstring copy = len > 0 && text ? std::wstring(text, static_cast<size_t>(len)) : L"";
        std::fprintf(f, "text\t%d\t%d\t", id, len > 0 ? 1 : 0);
        Escaped(f, copy.c_str());
        std::fputs("\n", f);
    }
    if (HMENU menu = LoadMenuW(inst, MAKEINTRESOURCEW(IDR_TRAY))) {
        DumpMenu(f, menu, 0);
        DestroyMenu(menu);
    }
    for (const Layout& l : kLayouts)
        DumpTemplate(f, l.dialog);
    DumpVersion(f);
    DumpManifest(f);
    std::fclose(f);
    return 0;
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR cmdLine, int) {
    INITCOMMONCONTROLSEX icc = {sizeof icc, ICC_WIN95_CLASSES | ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&icc);
    if (std::strncmp(cmdLine, "--catalogue ", 12) == 0)
        return WriteCatalogue(cmdLine + 12);
    int id = 0;
    char option[32] = {};
    char measureOption[32] = {};
    char measurePath[MAX_PATH] = {};
    if (std::sscanf(cmdLine, "%d %31s %31s %259[^\n]", &id, option, measureOption, measurePath) < 1)
        return 2;
    g_bFill = std::strcmp(option, "--fill") == 0;
    if (std::strcmp(measureOption, "--measure") == 0 && measurePath[0] != '\0')
        g_pszMeasure = measurePath;
    HWND dlg = CreateDialogParamA(instance, MAKEINTRESOURCEA(id), nullptr, PreviewProc, id);
    if (!dlg)
        return 3;
    ShowWindow(dlg, SW_SHOW);
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        if (!IsDialogMessageA(dlg, &msg)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
    }
    if (g_hBold)
        DeleteObject(g_hBold);
    g_pictures.Release();
    return 0;
}
