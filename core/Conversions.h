#pragma once

#include "DateTime.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace brio {

// The leading number of a text: blanks, sign, digits, ".", exponent; 0 when there is none.
double Val(std::string_view text);

// A text that is a number as a whole (blanks around allowed); anything else is error 13.
double CDbl(std::string_view text);

// Nearest integer, halves to the even neighbour; error 6 outside the type's range.
std::int32_t CLng(double value);
std::int16_t CInt(double value);

// A number (0 false, any other true) or True/False in any letter case; anything else is error 13.
bool CBool(std::string_view text);

// "dd/MM/yyyy HH:mm:ss" (DateToText's form), or without seconds, without time, with one-digit parts, or
// ISO 8601; else error 13.
QDateTime CDate(std::string_view text);

// The decimal text of an integer, no grouping.
std::string CStr(long long value);

// Text that is valid UTF-8 is kept; otherwise it is read as Windows-1252.
std::string Utf8OrLatin(std::string_view bytes);

} // namespace brio
