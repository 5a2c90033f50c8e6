#include "ui/dialog_layout.h"

#include <cstring>

#include "ui/text.h"

namespace {

constexpr WORD kStaticAtom = 0x0082;

// Reads a layout word by word (every field of a layout is a whole number of words).
class CLayoutReader {
public:
    explicit CLayoutReader(const void* p) : m_p(static_cast<const BYTE*>(p)) {}

    const BYTE* Position() const { return m_p; }
    WORD Word() {
        WORD n;
        std::memcpy(&n, m_p, sizeof n);
        m_p += sizeof n;
        return n;
    }
    DWORD Dword() {
        const DWORD nLow = Word();
        return nLow | static_cast<DWORD>(Word()) << 16;
    }
    void Skip(std::size_t nWords) { m_p += 2 * nWords; }
    void SkipBytes(std::size_t nBytes) { m_p += nBytes; }
    void AlignDword(const BYTE* pStart) { m_p += (4 - (m_p - pStart) % 4) % 4; }
    // A name or number field: nothing (0), a number (0xFFFF, n) or a NUL-terminated name.
    // Returns the number, or 0 for the other two; *pbStatic tells the name "Static" too.
    UINT NameOrNumber(bool* pbStatic = nullptr) {
        const WORD nFirst = Word();
        if (nFirst == 0xFFFF) {
            const WORD nNumber = Word();
            if (pbStatic != nullptr) {
                *pbStatic = nNumber == kStaticAtom;
            }
            return nNumber;
        }
        static const wchar_t kStatic[] = L"static";
        bool bStatic = true;
        std::size_t k = 0;
        for (WORD c = nFirst; c != 0; c = Word(), ++k) {
            const wchar_t lower = c >= L'A' && c <= L'Z' ? static_cast<wchar_t>(c + 32) : c;
            bStatic = bStatic && k < 6 && lower == kStatic[k];
        }
        if (pbStatic != nullptr) {
            *pbStatic = bStatic && k == 6;
        }
        return 0;
    }

private:
    const BYTE* m_p;
};

// One control of a layout, with where its fields lie.
struct LayoutItem {
    bool bPicture = false;  // a static control showing a bitmap given by number
    UINT nBitmapId = 0;
    RECT rcUnits{};
    const BYTE* pBegin = nullptr;  // the item, from its DWORD boundary
    const BYTE* pTitle = nullptr;  // its text (the picture's bitmap number)
    const BYTE* pAfterTitle = nullptr;
    const BYTE* pEnd = nullptr;  // past its creation data
};

// The controls of a layout; *ppHeaderEnd: where the dialog's own fields end.
std::vector<LayoutItem> ReadLayout(const DLGTEMPLATE* pTemplate, const BYTE** ppHeaderEnd) {
    std::vector<LayoutItem> items;
    const auto* pStart = reinterpret_cast<const BYTE*>(pTemplate);
    CLayoutReader reader(pStart);
    const bool bExtended = reader.Word() == 1 && reader.Word() == 0xFFFF;
    reader = CLayoutReader(pStart);
    DWORD nStyle;
    if (bExtended) {
        reader.Skip(2 + 2 + 2);  // version and signature, help id, extended style
        nStyle = reader.Dword();
    } else {
        nStyle = reader.Dword();
        reader.Skip(2);  // extended style
    }
    const int nItems = reader.Word();
    reader.Skip(4);         // x, y, cx, cy
    reader.NameOrNumber();  // menu
    reader.NameOrNumber();  // class
    reader.NameOrNumber();  // title
    if (nStyle & DS_SETFONT) {
        reader.Skip(bExtended ? 3 : 1);  // points (and weight, italic, character set)
        reader.NameOrNumber();           // face
    }
    *ppHeaderEnd = reader.Position();
    for (int nItem = 0; nItem < nItems; ++nItem) {
        LayoutItem item;
        reader.AlignDword(pStart);
        item.pBegin = reader.Position();
        DWORD nItemStyle;
        if (bExtended) {
            reader.Skip(2 + 2);  // help id, extended style
            nItemStyle = reader.Dword();
        } else {
            nItemStyle = reader.Dword();
            reader.Skip(2);
        }
        item.rcUnits.left = static_cast<short>(reader.Word());
        item.rcUnits.top = static_cast<short>(reader.Word());
        item.rcUnits.right = static_cast<short>(reader.Word());
        item.rcUnits.bottom = static_cast<short>(reader.Word());
        reader.Skip(bExtended ? 2 : 1);  // id
        bool bStatic = false;
        reader.NameOrNumber(&bStatic);
        item.pTitle = reader.Position();
        item.nBitmapId = reader.NameOrNumber();
        item.pAfterTitle = reader.Position();
        const WORD nExtra = reader.Word();
        if (bExtended) {
            reader.SkipBytes(nExtra);
        } else if (nExtra > 0) {
            reader.SkipBytes(nExtra - 2u);  // the classic count includes its own word
        }
        item.pEnd = reader.Position();
        item.bPicture = bStatic && (nItemStyle & SS_TYPEMASK) == SS_BITMAP && item.nBitmapId != 0;
        items.push_back(item);
    }
    return items;
}

}  // namespace

const DLGTEMPLATE* FindDialogTemplate(UINT nDialogId) {
    HINSTANCE hInstance = GetResourceInstance();
    HRSRC hInfo = FindResourceA(hInstance, MAKEINTRESOURCEA(nDialogId), RT_DIALOG);
    HGLOBAL hData = hInfo != nullptr ? LoadResource(hInstance, hInfo) : nullptr;
    return hData != nullptr ? static_cast<const DLGTEMPLATE*>(LockResource(hData)) : nullptr;
}

std::vector<LayoutPicture> FindLayoutPictures(const DLGTEMPLATE* pTemplate) {
    std::vector<LayoutPicture> pictures;
    if (pTemplate == nullptr) {
        return pictures;
    }
    const BYTE* pHeaderEnd;
    const std::vector<LayoutItem> items = ReadLayout(pTemplate, &pHeaderEnd);
    for (std::size_t k = 0; k < items.size(); ++k) {
        if (items[k].bPicture) {
            pictures.push_back({static_cast<int>(k), items[k].nBitmapId, items[k].rcUnits});
        }
    }
    return pictures;
}

std::vector<DWORD> LayoutWithoutPictureBitmaps(const DLGTEMPLATE* pTemplate) {
    if (pTemplate == nullptr) {
        return {};
    }
    const BYTE* pHeaderEnd;
    const std::vector<LayoutItem> items = ReadLayout(pTemplate, &pHeaderEnd);
    const auto* pStart = reinterpret_cast<const BYTE*>(pTemplate);
    std::vector<BYTE> layout(pStart, pHeaderEnd);
    bool bChanged = false;
    for (const LayoutItem& item : items) {
        layout.resize((layout.size() + 3) & ~std::size_t{3});  // each item on a DWORD boundary
        if (item.bPicture) {
            // The text becomes empty: the picture control starts without a bitmap.
            layout.insert(layout.end(), item.pBegin, item.pTitle);
            layout.push_back(0);
            layout.push_back(0);
            layout.insert(layout.end(), item.pAfterTitle, item.pEnd);
            bChanged = true;
        } else {
            layout.insert(layout.end(), item.pBegin, item.pEnd);
        }
    }
    if (!bChanged) {
        return {};
    }
    std::vector<DWORD> aligned((layout.size() + 3) / 4);
    std::memcpy(aligned.data(), layout.data(), layout.size());
    return aligned;
}
