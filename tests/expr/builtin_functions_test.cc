#include "expr/builtin_functions.h"

#include <gtest/gtest.h>

#include "tests/expr/expr_test_support.h"

namespace tabdump {
namespace {

using testing::Case;

// Host names as in evaluator_test.cc: I=4, K=12, W=5e9 (64-bit), C=1.5
// (currency), T=2020-01-01 (43831), S="abc", N null, E empty; "..." is a
// plain text.  The clock stands at 2020-01-01 12:00 and the settings are ISO
// (yyyy-mm-dd, full stop, AM/PM).
using BuiltinFunctionsTest = testing::ExprHostTest;

TEST_F(BuiltinFunctionsTest, Substr) {
  Check({
      {"SUBSTR(\"abcdef\", 2, 3)", "String bcd"},
      {"SUBSTR(\"abc\", 0, 2)", "String ab"},
      {"SUBSTR(\"abc\", 5, 1)", "String "},
      {"SUBSTR(\"hello\", -3, 2)", "String he"},  // the count is not shortened
      {"SUBSTR(\"hello\", 2, 100)", "String ello"},
      {"SUBSTR(\"hello\", 2, -1)", "String "},
      {"SUBSTR(N, 1, 2)", "String "},
      {"SUBSTR(\"abc\", 1.5, 1)", "String b"},  // 1.5 goes to the even 2
      {"SUBSTRING(\"abc\", 1, 1)", "String a"},
      {"copy(12345, 2, 2)", "String 23"},
      {"SUBSTR(\"abc\", 2)", "EListError: List index out of bounds (2)"},
      {"SUBSTR(\"abc\", N, 1)", "EVariantError: Invalid variant type conversion"},
      {"SUBSTR(\"abc\", \"x\", 1)", "EVariantError: Invalid variant type conversion"},
      {"SUBSTR(\"abc\", 1, 3000000000)", "EInvalidOp: Invalid floating point operation"},
      // Count, then start, then text.
      {"SUBSTR(1/0, 0/0, 2)", "EInvalidOp: Invalid floating point operation"},
  });
}

TEST_F(BuiltinFunctionsTest, ReplaceStr) {
  Check({
      {"REPLACESTR(\"Hello hello\", \"HELLO\", \"x\", 1, 1)", "String x x"},
      {"REPLACESTR(\"Hello hello\", \"HELLO\", \"x\", 0, 1)", "String Hello hello"},
      {"REPLACESTR(\"Hello hello\", \"hello\", \"x\", 1, 0)", "String x hello"},
      {"REPLACESTR(\"abab\", \"b\", \"\", 0, 0)", "String aab"},
      {"REPLACESTR(\"aaa\", \"a\", \"aa\", 0, 1)", "String aaaaaa"},  // never searched again
      {"REPLACESTR(\"abc\", \"\", \"x\", 0, 1)", "String abc"},
      {"REPLACESTR(\"\", \"a\", \"x\", 0, 1)", "String "},
      // Ignoring case covers the letters of the tables' code page.
      {"REPLACESTR(\"\xE9t\xE9\", \"\xC9\", \"e\", 1, 1)", "String ete"},
      {"REPLACESTR(\"a\", \"b\", \"c\")", "EListError: List index out of bounds (3)"},
      {"REPLACESTR(\"a\", \"b\", \"c\", N, 1)", "EVariantError: Invalid variant type conversion"},
      {"REPLACESTR(\"a\", \"b\", \"c\", \"maybe\", 1)", "EVariantError: Invalid variant type conversion"},
      // Ignore case and replace all come first, the text last.
      {"REPLACESTR(1/0, \"b\", \"c\", 0/0, 1)", "EInvalidOp: Invalid floating point operation"},
  });
}

TEST_F(BuiltinFunctionsTest, PaddingAndCharacters) {
  Check({
      {"PADL(\"7\", 3, \"0\")", "String 007"},
      {"PADL(\"abcdef\", 3)", "String abc"},
      {"PADR(\"ab\", 4, \"*\")", "String ab**"},
      {"PADR(\"7\", 3, \"xy\")", "String 7xx"},
      {"PADR(\"abc\", 0)", "String "},
      {"PADL(\"abc\", -1)", "String "},
      {"PADL(5, 3)", "String   5"},
      {"PADL(\"7\", 3, \"\")", "String   7"},  // an empty pad text pads with spaces
      {"PADL(\"x\")", "EListError: List index out of bounds (1)"},
      {"PADL(0/0, 3, 1/0)", "EZeroDivide: Floating point division by zero"},  // pad first
      {"CHR(65)", "String A"},
      {"LENGTH(CHR(0))", "Integer 1"},
      {"CHR(321)", "String A"},
      {"CHR(0-191)", "String A"},  // the low eight bits
      {"ORD(\"A\")", "Integer 65"},
      {"ORD(\"\xE9\")", "Integer 233"},
      {"ORD(\"\")", "Integer 0"},
      {"UPPER(\"ab\xE9z\")", "String AB\xE9Z"},  // a to z only
      {"LOWER(\"AB\xC9Z\")", "String ab\xC9z"},
      {"UPPER(\"a\", 1/0)", "String A"},  // the surplus argument is not evaluated
      {"TRIM(\" \t a b \t\")", "String a b"},
      {"TRIMLEFT(\"  a \")", "String a "},
      {"TRIMRIGHT(\"  a \")", "String   a"},
      {"TRIM(\"\t \t\")", "String "},
      {"LENGTH(12.5)", "Integer 4"},
      {"LENGTH(N)", "Integer 0"},
  });
}

TEST_F(BuiltinFunctionsTest, Pos) {
  Check({
      {"POS(\"c\", \"abcabc\")", "Integer 3"},
      {"POS(\"\", \"abc\")", "Integer 0"},
      {"POS(\"abc\", \"ab\")", "Integer 0"},
      {"POS(\"C\", \"abc\")", "Integer 0"},
      {"POS(\"b\", N)", "Integer 0"},
      {"POS(1/0, 0/0)", "EInvalidOp: Invalid floating point operation"},  // text first
  });
}

TEST_F(BuiltinFunctionsTest, Conversions) {
  Check({
      {"STRTOFLOAT(\" 1.5e3 \")", "Double 1500"},
      {"STRTOFLOAT(\"-2.5\")", "Double -2.5"},
      {"STRTOFLOAT(\"1e-400\")", "Double 0"},
      {"STRTOFLOAT(\"1,000\")", "EConvertError: '1,000' is not a valid floating point value"},
      {"STRTOFLOAT(\"1e400\")", "EConvertError: '1e400' is not a valid floating point value"},
      {"STRTOFLOAT(\"\")", "EConvertError: '' is not a valid floating point value"},
      {"STRTOINT(\"  -17\")", "Integer -17"},
      {"STRTOINT(\"$FF\")", "Integer 255"},
      {"STRTOINT(\"$FFFFFFFF\")", "Integer -1"},
      {"STRTOINT(\"-2147483648\")", "Integer -2147483648"},
      {"STRTOINT(\"2147483648\")", "EConvertError: '2147483648' is not a valid integer value"},
      {"STRTOINT(\"$100000000\")", "EConvertError: '$100000000' is not a valid integer value"},
      {"STRTOINT(\"12 \")", "EConvertError: '12 ' is not a valid integer value"},
      {"STRTOINT(\"1.5\")", "EConvertError: '1.5' is not a valid integer value"},
      {"STRTOINT(\"-$1\")", "EConvertError: '-$1' is not a valid integer value"},
      {"STRTODATE(\"2020-01-31\")", "DateTime 43861"},
      {"STRTODATE(\" 20-1-31 \")", "DateTime 43861"},  // two-digit year near the clock's
      {"STRTODATE(\"2020-02-30\")", "EConvertError: '2020-02-30' is not a valid date"},
      {"STRTODATE(\"2020-01-31 10:00\")", "EConvertError: '2020-01-31 10:00' is not a valid date"},
      {"STRTODATE(\"31/01/2020\")", "EConvertError: '31/01/2020' is not a valid date"},
      {"VARTOSTR(N)", "String "},
      {"VARTOSTR(I)", "String 4"},
      {"INTTOSTR(2.5)", "String 2"},
      {"INTTOSTR(0-7)", "String -7"},
      {"INTTOSTR(W)", "String 5000000000"},
      {"INTTOSTR(N)", "EVariantError: Invalid variant type conversion"},
      {"FLOATTOSTR(1/3)", "String 0.333333333333333"},
      {"FLOATTOSTR(C)", "String 1.5"},
      {"FLOATTOSTR(0)", "String 0"},
      {"FLOATTOSTR(0.00002)", "String 0.00002"},
      {"FLOATTOSTR(0.000001)", "String 1E-06"},
      {"FLOATTOSTR(123456789012345)", "String 123456789012345"},
      {"FLOATTOSTR(1000000000000000)", "String 1E+15"},
      {"DATETOSTR(0)", "String 1899-12-30"},
      {"DATETOSTR(43831.75)", "String 2020-01-01"},
  });
}

TEST_F(BuiltinFunctionsTest, ConversionsFollowTheSettings) {
  FormatSettings fs = FormatSettings::Iso();
  fs.decimal_separator = ',';
  fs.thousands_separator = '.';
  fs.short_date_format = "%d/%m/%Y";
  fs.date_separator = '/';
  ScopedSettings scoped(fs);
  Check({
      {"FLOATTOSTR(2.5)", "String 2,5"},
      {"STRTOFLOAT(\"2,5\")", "Double 2.5"},
      {"STRTOFLOAT(\"2.5\")", "EConvertError: '2.5' is not a valid floating point value"},
      {"STRTODATE(\"31/01/2020\")", "DateTime 43861"},
      {"DATETOSTR(43861)", "String 31/01/2020"},
      {"ISNUMERIC(\"1,5\")", "Boolean true"},
      {"ISNUMERIC(\"1.5\")", "Boolean false"},
  });
}

// Windows pictures without leading zeros, as the platform layer compiles
// them: M/d/yyyy (English, United States) and d.M.yyyy (German under Wine).
// A date is typed the way the program writes it.  2005-01-01 is 38353.
TEST_F(BuiltinFunctionsTest, DatesTypedInTheUsersFormat) {
  FormatSettings us = FormatSettings::Iso();
  us.short_date_format = "%-m/%-d/%Y";
  us.date_separator = '/';
  {
    ScopedSettings scoped(us);
    Check({
        {"STRTODATE(\"1/1/2005\")", "DateTime 38353"},
        {"STRTODATE(\"01/01/2005\")", "DateTime 38353"},
        {"STRTODATE(\"1/1/05\")", "DateTime 38353"},
        {"YEAR(STRTODATE(\"12/31/1999\"))", "Integer 1999"},
        {"MONTH(\"12/31/1999\")", "Integer 12"},
        {"STRTODATE(\"31/12/1999\")", "EConvertError: '31/12/1999' is not a valid date"},
        {"STRTODATE(\"2005-01-01\")", "EConvertError: '2005-01-01' is not a valid date"},
    });
  }
  FormatSettings german = FormatSettings::Iso();
  german.short_date_format = "%-d.%-m.%Y";
  german.date_separator = '.';
  ScopedSettings scoped(german);
  Check({
      {"STRTODATE(\"01.01.2005\")", "DateTime 38353"},
      {"STRTODATE(\"1.1.2005\")", "DateTime 38353"},
      {"DAY(\"31.12.1999\")", "Integer 31"},
      {"STRTODATE(\"1/1/2005\")", "EConvertError: '1/1/2005' is not a valid date"},
  });
}

TEST_F(BuiltinFunctionsTest, Aggregates) {
  Check({
      {"COUNT(1)", "Integer 0"},
      {"COUNT(1, 2, 3)", "Integer 2"},
      {"COUNT(1/0, 2)", "Integer 1"},  // nothing is evaluated
      {"MAX(-5, -3)", "Integer 0"},    // the running value starts at 0
      {"MAX(2, 7, 3)", "Double 7"},
      {"MAX(I, 4)", "Integer 4"},      // on a tie the earlier value stays
      {"MIN(3, 1, 2)", "Double 1"},
      {"MIN(N, 5)", "Double 5"},
      {"MIN(5, N)", "Null"},
      {"SUM(1, 2, 3)", "Double 6"},
      {"SUM(I, K)", "Integer 16"},
      {"SUM(\"1\", \"2\")", "Double 3"},  // numbers, not joined texts
      {"SUM(1, N)", "Null"},
      {"SUM(\"a\")", "EVariantError: Invalid variant type conversion"},
      {"SUM(C, C)", "Currency 3"},
      {"AVG(1, 2)", "Double 1.5"},
      {"AVG(I, K)", "Double 8"},
      {"COALESCE(N, \"\", \"x\")", "String x"},
      {"COALESCE(N, N)", "Null"},
      {"COALESCE(E, I, 1/0)", "Integer 4"},  // later arguments are not evaluated
  });
}

TEST_F(BuiltinFunctionsTest, Numbers) {
  Check({
      {"FRAC(-2.5)", "Double -0.5"},
      {"INT(-2.5)", "Double -2"},
      {"INT(2.7)", "Double 2"},
      {"ROUND(2.5)", "Integer 2"},
      {"ROUND(-2.5)", "Integer -2"},
      {"ROUND(3.5)", "Integer 4"},
      {"ROUND(30000000000)", "EInvalidOp: Invalid floating point operation"},
      {"ROUND(N)", "EVariantError: Invalid variant type conversion"},
      {"DIV(7, 2)", "Integer 3"},
      {"MOD(-7, 2)", "Integer -1"},
      {"DIV(7.5, 2)", "Integer 4"},
      {"DIV(W, 2)", "Int64 2500000000"},
      {"DIV(N, 2)", "Null"},
      {"DIV(7, 0)", "EDivByZero: Division by zero"},
      {"MOD(7, 0)", "EDivByZero: Division by zero"},
      {"ABS(-2.5)", "Double 2.5"},
      {"POWER(2, 10)", "Double 1024"},
      {"POWER(-8, 1/3)", "EInvalidOp: Invalid floating point operation"},
      {"EXP(0)", "Double 1"},
      {"EXP(1000)", "EOverflow: Floating point overflow"},
      {"LN(1)", "Double 0"},
      {"LN(0)", "EZeroDivide: Floating point division by zero"},
      {"LN(-1)", "EInvalidOp: Invalid floating point operation"},
      {"LOG(1000)", "Double 3"},
      {"SQR(3)", "Double 9"},
      {"SQR(10^150)", "Double 1E+300"},
      {"SQR(10^200)", "EOverflow: Floating point overflow"},
      {"SQRT(16)", "Double 4"},
      {"SQRT(-1)", "EInvalidOp: Invalid floating point operation"},
      {"PERCENT(200, 15)", "Double 30"},
      {"PERCENT(C, 10)", "Currency 0.15"},
      {"PERCENT(N, 10)", "Null"},
  });
}

TEST_F(BuiltinFunctionsTest, RandomIsOneSequenceForTheProcess) {
  SetRandomState(0);
  EXPECT_EQ(Eval("RANDOM(100)"), "Integer 0");
  EXPECT_EQ(Eval("RANDOM(100)"), "Integer 3");
  EXPECT_EQ(Eval("RANDOM(100)"), "Integer 86");
  EXPECT_EQ(Eval("RANDOM(0)"), "Integer 0");
  EXPECT_NE(RandomState(), 0u);
  SetRandomState(0);
  EXPECT_EQ(Eval("RANDOM(100) + RANDOM(100)"), "Integer 3");
}

TEST_F(BuiltinFunctionsTest, IifAndPredicates) {
  Check({
      {"IIF(1=1, \"yes\")", "String yes"},
      {"IIF(1=2, \"yes\")", "EListError: List index out of bounds (2)"},
      {"IIF(1=2, 1/0, \"no\")", "String no"},
      {"IIF(N, 1, 2)", "EVariantError: Invalid variant type conversion"},
      {"IIF(\"abc\", 1, 2)", "EVariantError: Invalid variant type conversion"},
      {"ISNULL(\"\")", "Boolean true"},
      {"ISNULL(N)", "Boolean true"},
      {"ISNULL(E)", "Boolean true"},
      {"ISNULL(0)", "Boolean false"},
      {"ISNUMERIC(\"\")", "Boolean true"},
      {"ISNUMERIC(\"-\")", "Boolean true"},
      {"ISNUMERIC(\" -12.5 \")", "Boolean true"},
      {"ISNUMERIC(\"1e5\")", "Boolean false"},
      {"ISNUMERIC(\"1.2.3\")", "Boolean false"},
      {"ISNUMERIC(\"1,000\")", "Boolean false"},
      {"ISNUMERIC(\"1-2\")", "Boolean false"},
      {"ISALPHA(\"\")", "Boolean false"},
      {"ISALPHA(\"abc\")", "Boolean true"},
      {"ISALPHA(\"\xE9t\xE9\")", "Boolean true"},
      {"ISALPHA(\"ab1\")", "Boolean false"},
      {"ISALPHA(\"a b\")", "Boolean false"},
      {"ISALPHA(\"\xD7\")", "Boolean false"},  // the multiplication sign
      {"ISCONTAIN(\"b\", \"abc\")", "Boolean true"},
      {"ISCONTAIN(\"abc\", \"b\")", "Boolean false"},
      {"ISCONTAIN(\"\", \"abc\")", "Boolean false"},
      {"ISCONTAIN(1/0, 0/0)", "EInvalidOp: Invalid floating point operation"},  // text first
      {"ISSTARTSWITH(\"\", \"x\")", "Boolean true"},
      {"ISSTARTSWITH(\"ab\", \"abc\")", "Boolean true"},
      {"ISSTARTSWITH(\"bc\", \"abc\")", "Boolean false"},
      {"ISSTARTSWITH(1/0, 0/0)", "EZeroDivide: Floating point division by zero"},  // part first
      {"ISENDSWITH(\"lo\", \"hello\")", "Boolean true"},
      {"ISENDSWITH(\"hello\", \"lo\")", "Boolean false"},
  });
}

TEST_F(BuiltinFunctionsTest, DateParts) {
  Check({
      {"YEAR(GETDATE)", "Integer 2020"},
      {"HOUR(NOW)", "Integer 12"},
      {"HOUR(0.75)", "Integer 18"},
      {"MINUTE(0.75+1/1440)", "Integer 1"},
      {"SECOND(7/86400)", "Integer 7"},
      {"DAY(1)", "Integer 31"},  // 1899-12-31
      {"MONTH(T)", "Integer 1"},
      {"YEAR(\"2021-03-04\")", "Integer 2021"},
      {"HOUR(\"2021-03-04\")", "Integer 0"},
      {"YEAR(\"10:00\")", "EConvertError: '10:00' is not a valid date"},
      {"YEAR(N)", "EVariantError: Invalid variant type conversion"},
      {"YEAR(1000000000)", "EVariantError: Invalid variant type conversion"},
      {"DATEPART(\"2020\")", "Double 2020"},  // a number, not a date
      {"DATEPART(43831.75)", "Double 43831"},
      {"TIMEPART(43831.75)", "Double 0.75"},
  });
}

TEST_F(BuiltinFunctionsTest, DateTimeFromString) {
  Check({
      {"DATETIMEFROMSTRING(\"31/12/2020 23:59:58\", \"dd/mm/yyyy hh:nn:ss\", \"/\", \":\")",
       "DateTime 44196.9999768519"},
      // Single-digit day and month shift the format.
      {"DATETIMEFROMSTRING(\"1/5/2020\", \"DD/MM/YYYY\", \"/\", \"-\")", "DateTime 43952"},
      // No "/" in the text: the date section of the format is dropped.
      {"DATETIMEFROMSTRING(\"10:30 PM\", \"DD/MM/YYYY HH:NN\", \"/\", \":\")", "DateTime 0.9375"},
      {"DATETIMEFROMSTRING(\"12:15 AM\", \"HH:NN\", \"/\", \":\")", "DateTime 0.0104166666666667"},
      {"DATETIMEFROMSTRING(\"10:11:12.345\", \"HH:NN:SS.ZZZ\", \"/\", \":\")", "DateTime 0.4244484375"},
      {"DATETIMEFROMSTRING(\"05 MAR 2021\", \"DD MMM YYYY\", \" \", \" \")", "DateTime 44260"},
      {"DATETIMEFROMSTRING(\"05 March 2021\", \"DD MMMMM YYYY\", \" \", \" \")", "DateTime 44260"},
      {"DATETIMEFROMSTRING(\"05 MRZ 2021\", \"DD MMM YYYY\", \" \", \" \")", "DateTime 0"},
      {"DATETIMEFROMSTRING(\"32/01/2020\", \"DD/MM/YYYY\", \"/\", \":\")", "DateTime 0"},
      {"DATETIMEFROMSTRING(\"31/02/2020\", \"DD/MM/YYYY\", \"/\", \":\")",
       "EConvertError: Invalid argument to date encode"},
      {"DATETIMEFROMSTRING(\"24:00\", \"HH:NN\", \"/\", \":\")", "EConvertError: Invalid argument to time encode"},
      {"DATETIMEFROMSTRING(\"25:00\", \"HH:NN\", \"/\", \":\")", "DateTime 0"},
      {"DATETIMEFROMSTRING(\"ab/01/2020\", \"DD/MM/YYYY\", \"/\", \":\")",
       "EConvertError: 'ab' is not a valid integer value"},
      {"DATETIMEFROMSTRING(\"x\", \"y\", \"z\")", "EListError: List index out of bounds (3)"},
  });
}

TEST_F(BuiltinFunctionsTest, DateTimeFromStringUsesTheClockAndTheLocale) {
  SetClockForTesting(46174);  // 2026-06-01: two-digit years run from 1976 to 2075
  EXPECT_EQ(Eval("DATETIMEFROMSTRING(\"01/01/76\", \"DD/MM/YY\", \"/\", \":\")"), "DateTime 27760");
  EXPECT_EQ(Eval("DATETIMEFROMSTRING(\"01/01/75\", \"DD/MM/YY\", \"/\", \":\")"), "DateTime 63920");

  FormatSettings fs = FormatSettings::Iso();
  fs.short_month_names[2] = "Mrz";
  fs.time_pm = "";  // no afternoon marker: "PM" or "pm" in the text
  ScopedSettings scoped(fs);
  EXPECT_EQ(Eval("DATETIMEFROMSTRING(\"05 MRZ 2021\", \"DD MMM YYYY\", \" \", \" \")"), "DateTime 44260");
  EXPECT_EQ(Eval("DATETIMEFROMSTRING(\"10:30 pm\", \"HH:NN\", \"/\", \":\")"), "DateTime 0.9375");
}

}  // namespace
}  // namespace tabdump
