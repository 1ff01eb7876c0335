// The conversions on any text: numbers, Booleans, dates and the text encodings fail only with BrioErrors,
// and what they accept comes back the same way.
#include "BrioError.h"
#include "Conversions.h"
#include "FuzzSupport.h"
#include "Windows1252.h"

using namespace brio;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    try {
        const double value = Val(text); // a number too large for a double is error 6
        CLng(value);
        CInt(value);
    } catch (const BrioError&) {
    }
    try {
        const double whole = CDbl(text);
        BRIO_FUZZ_CHECK(CDbl(CStr(CLng(whole))) == CLng(whole));
    } catch (const BrioError&) {
    }
    try {
        CBool(text);
    } catch (const BrioError&) {
    }
    try {
        const QDateTime date = CDate(text);
        BRIO_FUZZ_CHECK(CDate(DateToText(date)) == date);
    } catch (const BrioError&) {
    }
    const std::string utf8 = Utf8OrLatin(text);
    BRIO_FUZZ_CHECK(IsValidUtf8(utf8));
    if (!IsValidUtf8(text))
        BRIO_FUZZ_CHECK(Utf8ToWindows1252Xml(Windows1252ToUtf8(text)) == text);
    return 0;
}
