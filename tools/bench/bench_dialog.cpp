// mavris-bench-dialog: the baseline of the start-up, memory and idle benchmarks. A minimal
// Win32 program: one modal dialog from a template, nothing else; it ends when the dialog is
// closed.
#include <windows.h>

namespace {

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
    return static_cast<int>(
        DialogBoxParamA(hInstance, MAKEINTRESOURCEA(1), nullptr, DialogProc, 0));
}
