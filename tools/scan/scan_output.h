// The line format of mavris-scan: one record per line, fields separated by tabs.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

class CModemList;

// A field as it is printed: tabs, line ends, backslashes and other control characters are
// written as escapes (\t, \r, \n, \\, \xHH), so that a name taken from the registry can never
// break a line apart or forge one.
std::string EscapeField(std::string_view text);

// "warning<TAB>index<TAB>display name" for a supported modem that is not set up for Germany.
void PrintCountryWarning(std::FILE* out, int nIndex, const std::string& name);

// One "modem<TAB>index<TAB>display name<TAB>subkey number<TAB>UserInit" line per record, then
// "count<TAB>n".
void PrintModemList(std::FILE* out, const CModemList& list);
