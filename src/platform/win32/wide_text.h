// UTF-8 (as the portable core keeps texts) to and from the UTF-16 of Windows' wide-character
// functions, and this program's own path, which only they give whole whatever the ANSI code
// page can write.
#pragma once

#include <string>
#include <string_view>

std::wstring Utf8ToWide(std::string_view utf8);
std::string WideToUtf8(std::wstring_view wide);

// The full path of the running executable (GetModuleFileNameW, however long); empty when it
// cannot be had.
std::wstring GetOwnExecutablePath();
