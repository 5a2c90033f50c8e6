// The tool's help file: "help\Mavris.chm" in the program's own folder, named in wide characters
// from the program's path to the help viewer, so that a folder the ANSI code page cannot write
// (C:\Users\Łukasz\ on a Western European system) still finds it; and the mark of the web that
// Explorer copies from a downloaded zip onto the files it unpacks, which makes the help viewer
// show blank pages.
#pragma once

#include <windows.h>

#include <string>

// The file system calls the mark needs; the real ones unless a test observes them (Wine's
// file systems have no alternate data streams, so no marks either).
class IZoneMarks {
public:
    virtual ~IZoneMarks() = default;
    // DeleteFileW of the stream: ERROR_SUCCESS or the error.
    virtual DWORD DeleteStream(const std::wstring& streamPath) = 0;
    // The stream is there (GetFileAttributesW finds it).
    virtual bool StreamExists(const std::wstring& streamPath) = 0;
};
IZoneMarks& GetWin32ZoneMarks();

// The stream that holds the mark of the web (the zone a download came from) of filePath.
std::wstring ZoneMarkStream(const std::wstring& filePath);

// What became of a file's mark: it had none (or the file system keeps none), it was removed,
// or it is there and could not be removed (a folder or file the user may not write).
enum class ZoneMark { kNone, kRemoved, kKept };
ZoneMark RemoveZoneMark(IZoneMarks& marks, const std::wstring& filePath);

// "help\Mavris.chm" in the folder of programPath; the relative path alone without a folder.
std::wstring HelpFileBeside(const std::wstring& programPath);

// The help viewer and the word to the user; the program's own unless a test observes them.
class IHelpViewer {
public:
    virtual ~IHelpViewer() = default;
    // Shows the help file's default topic; false when that did not happen.
    virtual bool ShowHelp(HWND hOwner, const std::wstring& path) = 0;
    // Tells the user that Windows blocks the help file and how to unblock it.
    virtual void TellBlocked(HWND hOwner) = 0;
};

enum class HelpOpened { kShown, kBlocked, kNotShown };

// Opens the help file at path: first its mark of the web goes (that file's only); where the
// mark stays, the user is told how to unblock the file instead of getting blank pages.
HelpOpened OpenHelpFile(IZoneMarks& marks, IHelpViewer& viewer, HWND hOwner,
                        const std::wstring& path);
