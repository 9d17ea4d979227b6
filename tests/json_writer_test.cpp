// The JSON writer: strings escaped as RFC 8259 asks and nothing else,
// invalid UTF-8 replaced byte by byte, and the layout of nested values.
#include "json_writer.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <nlohmann/json.hpp>
#include <string>

namespace {

// What the writer gives for `build`, read back from memory.
template <typename Build>
std::string written(Build build) {
    char* text = nullptr;
    size_t size = 0;
    FILE* out = open_memstream(&text, &size);
    json_start(out);
    build();
    EXPECT_TRUE(json_end());
    std::fclose(out);
    std::string result(text, size);
    std::free(text);
    return result;
}

const std::string R = "\xEF\xBF\xBD";  // U+FFFD

TEST(JsonWriter, StringsAreEscapedAndInvalidBytesReplaced) {
    const struct {
        std::string text;
        std::string json;
    } cases[] = {
        {"plain ＮＨＫ 🈑 " + R, "\"plain ＮＨＫ 🈑 " + R + "\""},
        {"a\"b\\c/d\x7F", "\"a\\\"b\\\\c/d\x7F\""},
        {std::string("\n\t\r\b\f\x01\x1F\0", 8), "\"\\n\\t\\r\\b\\f\\u0001\\u001F\\u0000\""},
        {"a\x80z", "\"a" + R + "z\""},                      // a lone continuation byte
        {"\xC0\xAF", "\"" + R + R + "\""},                  // an overlong '/'
        {"\xE3\x81", "\"" + R + R + "\""},                  // a character cut short at the end
        {"\xE3\x81x", "\"" + R + R + "x\""},                // and before another
        {"\xED\xA0\x80", "\"" + R + R + R + "\""},          // a surrogate
        {"\xF4\x90\x80\x80", "\"" + R + R + R + R + "\""},  // past U+10FFFF
        {"\xF0\x9F\x88\x91\xFF", "\"🈑" + R + "\""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.json);
        const std::string out = written([&] { json_string(nullptr, c.text.data(), c.text.size()); });
        EXPECT_EQ(out, c.json + "\n");
        EXPECT_NO_THROW((void)nlohmann::json::parse(out));
    }
}

TEST(JsonWriter, NestedValuesTheirCommasAndIndentation) {
    const std::string out = written([] {
        json_open_object(nullptr);
        json_string("s", nullptr);
        json_open_array("empty");
        json_close_array();
        json_open_array("numbers");
        json_integer(nullptr, -12);
        json_unsigned(nullptr, 18446744073709551615ULL);
        json_thousandths(nullptr, 1500);
        json_thousandths(nullptr, -50);
        json_close_array();
        json_open_object("o");
        json_bool("t", true);
        json_close_object();
        json_close_object();
    });
    EXPECT_EQ(out,
              "{\n"
              "  \"s\": null,\n"
              "  \"empty\": [],\n"
              "  \"numbers\": [\n"
              "    -12,\n"
              "    18446744073709551615,\n"
              "    1.500,\n"
              "    -0.050\n"
              "  ],\n"
              "  \"o\": {\n"
              "    \"t\": true\n"
              "  }\n"
              "}\n");
}

}  // namespace
