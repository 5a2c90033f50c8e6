// The tool tips a dialog owns, read from the target process.
#include <windows.h>
#include <commctrl.h>

#include "ui_inspect.h"

namespace inspect {

// The tools registered on every tool-tip window that the dialog owns.
std::string Tooltips(HWND dialog) {
    std::string out = "[";
    bool first = true;
    DWORD pid = ProcessOf(dialog);
    for (HWND tip : TopLevelWindows()) {
        if (_wcsicmp(ClassOf(tip).c_str(), TOOLTIPS_CLASSW) != 0)
            continue;
        if (ProcessOf(tip) != pid || GetWindow(tip, GW_OWNER) != dialog)
            continue;
        LRESULT count = SendWait(tip, TTM_GETTOOLCOUNT, 0, 0);
        const size_t textChars = 1024;
        RemoteBuffer mem(pid, sizeof(TTTOOLINFOW) + textChars * sizeof(wchar_t));
        if (!mem.Ok())
            continue;
        wchar_t* remoteText =
            reinterpret_cast<wchar_t*>(static_cast<char*>(mem.Address()) + sizeof(TTTOOLINFOW));
        for (LRESULT k = 0; k < count; ++k) {
            // With a text buffer given, the tip window answers a text id as the
            // id itself and copies a plain text into the buffer.
            TTTOOLINFOW ti = {};
            ti.cbSize = sizeof ti;
            ti.lpszText = remoteText;
            wchar_t zero = 0;
            mem.Write(&zero, sizeof zero, sizeof(TTTOOLINFOW));
            mem.Write(&ti, sizeof ti);
            if (!SendWait(tip, TTM_ENUMTOOLSW, k, reinterpret_cast<LPARAM>(mem.Address())))
                continue;
            mem.Read(&ti, sizeof ti);
            UINT_PTR rawText = reinterpret_cast<UINT_PTR>(ti.lpszText);
            std::string textId =
                (ti.lpszText != remoteText && rawText != 0 && IS_INTRESOURCE(ti.lpszText))
                    ? Num(rawText)
                    : "null";
            // Ask the tip window for the text it would show: it resolves a text
            // id through the owner's string table in the owner's language.
            TTTOOLINFOW query = ti;
            query.lpszText = remoteText;
            mem.Write(&zero, sizeof zero, sizeof(TTTOOLINFOW));
            mem.Write(&query, sizeof query);
            SendWait(tip, TTM_GETTEXTW, textChars, reinterpret_cast<LPARAM>(mem.Address()));
            std::vector<wchar_t> text(textChars + 1, L'\0');
            mem.Read(text.data(), textChars * sizeof(wchar_t), sizeof(TTTOOLINFOW));
            HWND tool = (ti.uFlags & TTF_IDISHWND) ? reinterpret_cast<HWND>(ti.uId) : nullptr;
            out += first ? "\n    " : ",\n    ";
            first = false;
            out += "{\"tooltip\": " + Hex(reinterpret_cast<UINT_PTR>(tip)) +
                   ", \"tooltip_style\": " + Hex(GetWindowLongPtrW(tip, GWL_STYLE)) +
                   ", \"flags\": " + Hex(ti.uFlags) +
                   ", \"hwnd\": " + Hex(reinterpret_cast<UINT_PTR>(ti.hwnd)) +
                   ", \"uid\": " + Hex(ti.uId) + ", \"rect_px\": " + PxArray(ti.rect) +
                   ", \"control_id\": " + (tool ? Num(GetDlgCtrlID(tool)) : "null") +
                   ", \"text_id\": " + textId + ", \"text\": " + Quote(text.data()) + "}";
        }
    }
    return out + (first ? "]" : "\n  ]");
}

}  // namespace inspect
