#include <gtest/gtest.h>

#include <cstring>

#include "platform/Text.h"

namespace orbisight {
namespace {

TEST(CopyTextField, CutsToFieldSizeLessOneAndZeroesTheRest) {
    char field[8];
    std::memset(field, 'x', sizeof field);
    CopyTextField(field, "abcdefghij");
    EXPECT_STREQ(field, "abcdefg");
    CopyTextField(field, "ab");
    EXPECT_STREQ(field, "ab");
    for (size_t i = 2; i < sizeof field; ++i) {
        EXPECT_EQ(field[i], '\0');
    }
}

TEST(CopyTextField, NeverSplitsAUtf8Sequence) {
    char field[6];  // room for 5 bytes
    // "aé€" is a(1) é(2) €(3) = 6 bytes: the euro sign does not fit whole.
    CopyTextField(field, "a\xC3\xA9\xE2\x82\xAC");
    EXPECT_STREQ(field, "a\xC3\xA9");
    // Four-byte sequence straddling the cut.
    CopyTextField(field, "abcd\xF0\x9F\x98\x80");
    EXPECT_STREQ(field, "abcd");
}

TEST(FieldText, StopsAtTheFieldEndWithoutTerminator) {
    char field[4] = {'a', 'b', 'c', 'd'};
    EXPECT_EQ(FieldText(field), "abcd");
}

TEST(ParseDecimal, BehavesLikeAtoiWithoutOverflow) {
    EXPECT_EQ(ParseDecimal(" 5552x"), 5552);
    EXPECT_EQ(ParseDecimal("-7"), -7);
    EXPECT_EQ(ParseDecimal("abc"), 0);
    EXPECT_EQ(ParseDecimal(""), 0);
    EXPECT_EQ(ParseDecimal("99999999999999"), 2147483647);
}

TEST(EqualsNoCase, ComparesAsciiLettersOnly) {
    EXPECT_TRUE(EqualsNoCase("Ret", "rET"));
    EXPECT_FALSE(EqualsNoCase("Ret", "Rex"));
    EXPECT_FALSE(EqualsNoCase("Ret", "Re"));
}

}  // namespace
}  // namespace orbisight
