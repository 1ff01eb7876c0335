#include "Conversions.h"
#include "BrioError.h"
#include "ErrorOf.h"

#include <gtest/gtest.h>

using namespace brio;
using brio::test::ErrorOf;

TEST(Val, TakesTheLeadingNumberOnly) {
    EXPECT_EQ(Val("15"), 15);
    EXPECT_EQ(Val("15 min"), 15);
    EXPECT_EQ(Val("  -10"), -10);
    EXPECT_EQ(Val("2.5"), 2.5);
    EXPECT_EQ(Val("1e3x"), 1000);
    EXPECT_EQ(Val("1e"), 1); // an exponent without digits is not part of the number
    EXPECT_EQ(Val("abc"), 0);
    EXPECT_EQ(Val(""), 0);
    EXPECT_EQ(Val("."), 0);
    EXPECT_EQ(Val("-"), 0);
}

TEST(IntegerConversion, RoundsHalvesToEvenAndOverflowsAsErrorSix) {
    EXPECT_EQ(CInt(2.5), 2);
    EXPECT_EQ(CInt(3.5), 4);
    EXPECT_EQ(CInt(-2.5), -2);
    EXPECT_EQ(CInt(32767.4), 32767);
    EXPECT_EQ(CInt(-32768), -32768);
    EXPECT_EQ(ErrorOf([] { CInt(32767.5); }), err::Overflow);
    EXPECT_EQ(ErrorOf([] { CInt(40000); }), err::Overflow);
    EXPECT_EQ(CLng(40000), 40000);
    EXPECT_EQ(ErrorOf([] { CLng(3e9); }), err::Overflow);
    EXPECT_EQ(ErrorOf([] { Val("1e999"); }), err::Overflow);
}

TEST(TextToBoolean, AcceptsNumbersAndTrueFalseOnly) {
    EXPECT_TRUE(CBool("1"));
    EXPECT_TRUE(CBool("-3"));
    EXPECT_TRUE(CBool("0.5"));
    EXPECT_FALSE(CBool("0"));
    EXPECT_TRUE(CBool("True"));
    EXPECT_TRUE(CBool("tRUE"));
    EXPECT_FALSE(CBool("FALSE"));
    EXPECT_FALSE(CBool(" 0 "));
    for (const char* bad : {"", "yes", "1x", "--1", "e5"})
        EXPECT_EQ(ErrorOf([&] { CBool(bad); }), err::TypeMismatch) << bad;
}

TEST(StrictNumber, RefusesTrailingText) {
    EXPECT_EQ(CDbl(" 12 "), 12);
    EXPECT_EQ(CDbl("-1.5e2"), -150);
    EXPECT_EQ(ErrorOf([] { CDbl("12a"); }), err::TypeMismatch);
    EXPECT_EQ(ErrorOf([] { CDbl(""); }), err::TypeMismatch);
}

TEST(Dates, WriteAndReadBackInEveryAcceptedForm) {
    const QDateTime d = MakeDate(2026, 12, 8, 2, 5, 9);
    EXPECT_EQ(DateToText(d), "08/12/2026 02:05:09");
    EXPECT_EQ(CDate(DateToText(d)), d);
    EXPECT_EQ(CDate("01/01/1900 02:00:00"), MakeDate(1900, 1, 1, 2));
    EXPECT_EQ(CDate("8/12/2026 2:05"), MakeDate(2026, 12, 8, 2, 5));
    EXPECT_EQ(CDate("08/12/2026"), MakeDate(2026, 12, 8));
    EXPECT_EQ(CDate("2026-12-08T02:05:09"), d);
    EXPECT_EQ(CDate("2026-12-08"), MakeDate(2026, 12, 8));
    EXPECT_EQ(DateToText(ZeroDate()), "30/12/1899 00:00:00");
    for (const char* bad : {"", "31/02/2026", "2026/12/08", "08/12/2026 25:00", "mañana"})
        EXPECT_EQ(ErrorOf([&] { CDate(bad); }), err::TypeMismatch) << bad;
}

TEST(Errors, ReportCarriesNumberAndSpanishDescription) {
    EXPECT_EQ(BrioError(err::Overflow).report(), "Error 6 (Desbordamiento)");
    EXPECT_EQ(BrioError(err::FileExists).report(), "Error -2147024816 (El archivo ya existe)");
    EXPECT_EQ(BrioError(err::PermissionDenied, "pam: fallo").description(), "Permiso denegado: pam: fallo");
}

TEST(TextEncoding, KeepsUtf8AndReadsOtherBytesAsWindows1252) {
    EXPECT_EQ(Utf8OrLatin("Selección"), "Selección");
    EXPECT_EQ(Utf8OrLatin("Selecci\xF3n \x80"), "Selección €");
}
