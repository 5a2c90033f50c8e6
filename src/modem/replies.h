// Pure judgements of what a modem answers, kept apart from the serial I/O so that they can
// be checked against raw captured replies. A raw reply is what one read returned: the echoed
// command first, then the answer lines and the result code, each framed by CR LF.
#pragma once

#include <optional>
#include <string>
#include <string_view>

// The value of a query reply: after the first ':' of the whole reply (echo included), leading
// white space removed (line ends included, so a blank value yields the next line), cut before
// the next carriage return, trailing white space removed. Nothing when there is no ':' or no
// carriage return after the value; never an empty text.
std::optional<std::string> ExtractQueryValue(std::string_view reply);

// Removes one pair of double quotes that encloses the whole value; a lone quote at one end
// stays, a value of one quote alone becomes empty.
std::string StripEnclosingQuotes(std::string value);

// The manufacturer value names the maker: "ORVA", exact case, anywhere in it.
bool IsMakerValue(std::string_view value);

// The raw reply to the "+PCW" query holds "OK", and not first at its very start.
bool IsCallWaitingReplyOk(std::string_view reply);

// Only the decimal digits of the text, in order.
std::string KeepDigits(std::string_view text);

// The country value's digits contain "04" or "42", or are exactly "4": set up for Germany.
bool IsGermanCountryValue(std::string_view value);

// A display name of the supported model: it contains "ORVA 56k", exact case.
bool IsSupportedModelName(std::string_view name);
