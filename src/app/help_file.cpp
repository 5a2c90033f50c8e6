#include "app/help_file.h"

namespace {

class CWin32ZoneMarks : public IZoneMarks {
public:
    DWORD DeleteStream(const std::wstring& streamPath) override {
        return DeleteFileW(streamPath.c_str()) ? ERROR_SUCCESS : GetLastError();
    }
    bool StreamExists(const std::wstring& streamPath) override {
        return GetFileAttributesW(streamPath.c_str()) != INVALID_FILE_ATTRIBUTES;
    }
};

}  // namespace

IZoneMarks& GetWin32ZoneMarks() {
    static CWin32ZoneMarks s_marks;
    return s_marks;
}

std::wstring ZoneMarkStream(const std::wstring& filePath) {
    return filePath + L":Zone.Identifier";
}

ZoneMark RemoveZoneMark(IZoneMarks& marks, const std::wstring& filePath) {
    if (filePath.empty()) {
        return ZoneMark::kNone;
    }
    const std::wstring stream = ZoneMarkStream(filePath);
    const DWORD nError = marks.DeleteStream(stream);
    if (nError == ERROR_SUCCESS) {
        return ZoneMark::kRemoved;
    }
    // Not found: no mark. Any other failure (access denied in a folder the user may not
    // write, a read-only file) matters only where the mark is really there; a file system
    // without streams (FAT) refuses the name, but then it has no mark either.
    return marks.StreamExists(stream) ? ZoneMark::kKept : ZoneMark::kNone;
}

std::wstring HelpFileBeside(const std::wstring& programPath) {
    const std::size_t nSlash = programPath.find_last_of(L"\\/");
    const std::wstring folder =
        nSlash == std::wstring::npos ? std::wstring() : programPath.substr(0, nSlash + 1);
    return folder + L"help\\Mavris.chm";
}

HelpOpened OpenHelpFile(IZoneMarks& marks, IHelpViewer& viewer, HWND hOwner,
                        const std::wstring& path) {
    if (RemoveZoneMark(marks, path) == ZoneMark::kKept) {
        viewer.TellBlocked(hOwner);
        return HelpOpened::kBlocked;
    }
    return viewer.ShowHelp(hOwner, path) ? HelpOpened::kShown : HelpOpened::kNotShown;
}
