// Dialog layouts built in memory, so that the dialog classes can run in a test program that
// carries no resources: same control ids and kinds as the real layouts, sizes as needed.
#pragma once

#include <windows.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

class CDialogTemplate {
public:
    // Predefined control classes, by the atoms the dialog manager knows.
    static constexpr WORD kButton = 0x0080;
    static constexpr WORD kEdit = 0x0081;
    static constexpr WORD kStatic = 0x0082;

    // nPoints: the size of the dialog's font, "MS Sans Serif" (8 as in the real layouts).
    CDialogTemplate(DWORD nStyle, short x, short y, short cx, short cy, const char* pszTitle,
                    WORD nPoints = 8) {
        Align(4);
        Put32(nStyle | DS_SETFONT);
        Put32(0);  // extended style
        m_nCountOffset = m_data.size();
        Put16(0);  // number of controls, counted as they come
        Put16(static_cast<WORD>(x));
        Put16(static_cast<WORD>(y));
        Put16(static_cast<WORD>(cx));
        Put16(static_cast<WORD>(cy));
        Put16(0);  // no menu
        Put16(0);  // the dialog class
        PutText(pszTitle);
        Put16(nPoints);
        PutText("MS Sans Serif");
    }

    // A control of a predefined class.
    CDialogTemplate& Add(WORD nClassAtom, int nId, DWORD nStyle, short x, short y, short cx,
                         short cy, const char* pszText = "") {
        Begin(nId, nStyle, x, y, cx, cy);
        Put16(0xFFFF);
        Put16(nClassAtom);
        End(pszText);
        return *this;
    }
    // A control of a registered class (e.g. the common controls' progress bar).
    CDialogTemplate& Add(const char* pszClass, int nId, DWORD nStyle, short x, short y, short cx,
                         short cy, const char* pszText = "") {
        Begin(nId, nStyle, x, y, cx, cy);
        PutText(pszClass);
        End(pszText);
        return *this;
    }

    // A picture control (id -1) that shows bitmap nBitmapId, as a layout names it by number.
    CDialogTemplate& AddPicture(WORD nBitmapId, short x, short y, short cx, short cy) {
        Begin(-1, SS_BITMAP, x, y, cx, cy);
        Put16(0xFFFF);
        Put16(kStatic);
        Put16(0xFFFF);
        Put16(nBitmapId);
        Put16(0);  // no creation data
        return *this;
    }

    const DLGTEMPLATE* Get() const { return reinterpret_cast<const DLGTEMPLATE*>(m_data.data()); }

private:
    void Begin(int nId, DWORD nStyle, short x, short y, short cx, short cy) {
        Align(4);
        Put32(nStyle | WS_CHILD | WS_VISIBLE);
        Put32(0);
        Put16(static_cast<WORD>(x));
        Put16(static_cast<WORD>(y));
        Put16(static_cast<WORD>(cx));
        Put16(static_cast<WORD>(cy));
        Put16(static_cast<WORD>(nId));
        WORD* pCount = reinterpret_cast<WORD*>(m_data.data() + m_nCountOffset);
        ++*pCount;
    }
    void End(const char* pszText) {
        PutText(pszText);
        Put16(0);  // no creation data
    }
    void Put16(WORD n) {
        const std::size_t nAt = m_data.size();
        m_data.resize(nAt + 2);
        std::memcpy(m_data.data() + nAt, &n, 2);
    }
    void Put32(DWORD n) {
        Put16(LOWORD(n));
        Put16(HIWORD(n));
    }
    void PutText(const char* psz) {
        for (; *psz != '\0'; ++psz) {
            Put16(static_cast<unsigned char>(*psz));
        }
        Put16(0);
    }
    void Align(std::size_t n) {
        while (m_data.size() % n != 0) {
            m_data.push_back(0);
        }
    }

    // The heap block of a vector is aligned for any type, as the dialog manager needs.
    std::vector<std::uint8_t> m_data;
    std::size_t m_nCountOffset = 0;
};
