// Number readers and the Windows-1252 conversion.
#include <gtest/gtest.h>

#include "console/text.h"

namespace verdelo {
namespace {

TEST(Text, LeadingNumberReader) {
  EXPECT_EQ(ReadLeadingNumber(" 500"), 500);
  EXPECT_EQ(ReadLeadingNumber("500ms"), 500);
  EXPECT_EQ(ReadLeadingNumber("\t-12x"), -12);
  EXPECT_EQ(ReadLeadingNumber("+3"), 3);
  EXPECT_EQ(ReadLeadingNumber(""), std::nullopt);
  EXPECT_EQ(ReadLeadingNumber("-"), std::nullopt);
  EXPECT_EQ(ReadLeadingNumber("x5"), std::nullopt);
  EXPECT_EQ(ReadLeadingNumber("- 5"), std::nullopt);
  EXPECT_EQ(ReadLeadingNumber("99999999999999999999999"), 2147483647);
  EXPECT_EQ(ReadLeadingNumber("-99999999999999999999999"), -2147483648LL);
  EXPECT_EQ(ToInt("abc"), 0);
  EXPECT_EQ(ToInt(" 70000"), 70000);
}

TEST(Text, Windows1252RoundTripOfEveryByte) {
  std::string all;
  for (int b = 1; b < 256; ++b) all += static_cast<char>(b);
  EXPECT_EQ(Utf8ToCp1252(Cp1252ToUtf8(all)), all);
}

TEST(Text, Windows1252Specials) {
  EXPECT_EQ(Cp1252ToUtf8("\x80"), "\xE2\x82\xAC");
  EXPECT_EQ(Cp1252ToUtf8("\xB0"), "\xC2\xB0");
  EXPECT_EQ(Utf8ToCp1252("\xE2\x82\xAC"), "\x80");
  EXPECT_EQ(Utf8ToCp1252("\xF0\x9F\x98\x80"), "?");   // outside the code page
  EXPECT_EQ(Utf8ToCp1252("a\xFF" "b"), "a?b");         // broken UTF-8
  EXPECT_EQ(Utf8ToCp1252("\xC3"), "?");                // cut sequence
  EXPECT_EQ(Utf8ToCp1252("\xC2\x85"), "?");            // a C1 control the code page lacks
}

TEST(Text, FormatLongerThanAnyBuffer) {
  const std::string long_text(5000, 'x');
  EXPECT_EQ(Format("%s!", long_text.c_str()).size(), 5001u);
}

}  // namespace
}  // namespace verdelo

namespace verdelo {
namespace {

// The quick path for value labels must give exactly what printf gives.
TEST(Text, NumberLabelsMatchPrintf) {
  const char* formats[] = {"Voltage(mV) :%5d", "Current (mA) :%5d !!", "%2u", "Power :%1u",
                           "Stop Status :%3d", "Status :%1d", "%5d", "x%d y", "%05d", "%-5d|",
                           "%+d", "100%% %d", "%5d%%", "%123d"};
  const int values[] = {0, 7, -1, 42, -1000, 25100, 65535, 99999, -32768, 2147483647,
                        -2147483647 - 1};
  for (const char* format : formats) {
    for (int value : values) {
      char expected[200];
      std::snprintf(expected, sizeof expected, format, value);
      EXPECT_EQ(ShortText::Number(format, value).view(), std::string_view(expected).substr(0, 119))
          << format << " " << value;
    }
  }
}

}  // namespace
}  // namespace verdelo
