// The program-number parser: what it accepts, and that a refusal leaves the
// output untouched.
#include <gtest/gtest.h>

#include "cli.h"

namespace {

struct Accepted {
    const char* text;
    int32_t value;
};

TEST(StrToInt, AcceptsDecimalAndPrefixedHexadecimal) {
    const Accepted cases[] = {
        {"16", 16},       {"0x10", 16}, {"0X1f", 31},      {"0x1F", 31},     {"007", 7},
        {"65535", 65535}, {"0", 0},     {"0xffff", 65535}, {"65536", 65536}, {"2147483647", INT32_MAX},
        {"0x00000001", 1}};
    for (const Accepted& c : cases) {
        int32_t out = -7;
        EXPECT_EQ(strtoint(c.text, &out), 0) << c.text;
        EXPECT_EQ(out, c.value) << c.text;
    }
}

TEST(StrToInt, RefusesAnythingElseAndLeavesOutputAlone) {
    const char* const refused[] = {"",           "0x",  "0X",   "+5",         "-1",
                                   " 5",         "5 ",  "5a",   "x1",         "0x1g",
                                   "1.0",        "0b1", "0xx1", "4294967296", "99999999999999999999",
                                   "0x100000000"};
    for (const char* text : refused) {
        int32_t out = 1234;
        EXPECT_EQ(strtoint(text, &out), -1) << '[' << text << ']';
        EXPECT_EQ(out, 1234) << '[' << text << ']';
    }
    int32_t out = 1234;
    EXPECT_EQ(strtoint(nullptr, &out), -1);
    EXPECT_EQ(out, 1234);
}

TEST(StrToInt, ThirtyTwoBitValuesAreStoredSigned) {
    int32_t out = 0;
    ASSERT_EQ(strtoint("0xFFFFFFFF", &out), 0);
    EXPECT_EQ(out, -1);  // the range check of the caller then refuses it
    ASSERT_EQ(strtoint("4294967295", &out), 0);
    EXPECT_EQ(out, -1);
}

}  // namespace
