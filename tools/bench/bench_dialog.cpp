// mavris-bench-dialog: the baseline of the start-up, memory and idle benchmarks. A minimal
// Win32 program: one modal dialog from a template, nothing else; it ends when the dialog is
// closed. To be a fair measure of the tool's own start-up it starts as the tool does: with the
// tool's manifest (common controls 6, dpi awareness) and bound to the same system DLLs, whose
// loading is most of what any small program's start costs.
#include <windows.h>
#include <commctrl.h>

namespace {

// One function of each system DLL that the tool imports and this program otherwise would not:
// bound by the loader at start, as the tool's are, and never called.
const void* const volatile kBoundAsTheToolIs[] = {
    reinterpret_cast<const void*>(&RegCloseKey),     // advapi32
    reinterpret_cast<const void*>(&GetStockObject),  // gdi32
};

INT_PTR CALLBACK DialogProc(HWND hDlg, UINT nMsg, WPARAM wParam, LPARAM /*lParam*/) {
    switch (nMsg) {
        case WM_INITDIALOG:
            return TRUE;
        case WM_CLOSE:
            EndDialog(hDlg, 0);
            return TRUE;
        case WM_COMMAND:
            if (LOWORD(wParam) == IDCANCEL) {
                EndDialog(hDlg, 0);
                return TRUE;
            }
            break;
        default:
            break;
    }
    return FALSE;
}

}  // namespace

int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE /*hPrev*/, LPSTR /*cmdLine*/, int /*show*/) {
    // The tool's own first step (comctl32, from the manifest's version 6).
    INITCOMMONCONTROLSEX init{sizeof init,
                              ICC_WIN95_CLASSES | ICC_PROGRESS_CLASS | ICC_BAR_CLASSES};
    InitCommonControlsEx(&init);
    static_cast<void>(kBoundAsTheToolIs);
    return static_cast<int>(
        DialogBoxParamA(hInstance, MAKEINTRESOURCEA(1), nullptr, DialogProc, 0));
}
