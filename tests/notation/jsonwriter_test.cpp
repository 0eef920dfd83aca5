// The JSON of the command line's answers: strings escaped so that any text stays one valid
// string, and values, members and nesting separated as JSON has them.
#include "notation/jsonwriter.h"

#include <gtest/gtest.h>

#include <climits>
#include <functional>
#include <string>

using larkspur::jsonString;
using larkspur::JsonWriter;

namespace {

TEST(CliJsonString, EscapesWhatJsonRequiresAndNothingElse) {
    const struct {
        std::string text;
        std::string json;
    } cases[] = {
        {"", R"("")"},
        {"say \"hi\"", R"("say \"hi\"")"},
        {"C:\\dir\\", R"("C:\\dir\\")"},
        {"a\nb\rc\td", R"("a\nb\rc\td")"},
        {std::string("\0", 1), R"("\u0000")"},
        {"\x01\x08\x0c\x1b\x1f", R"("\u0001\u0008\u000c\u001b\u001f")"},
        {" \x7f/", "\" \x7f/\""}, // the space, DEL and the solidus need no escape
        {"-27.5 dB \xc2\xb5s \xe2\x80\x94 \xf0\x9f\x8e\xb5", // valid UTF-8 passes as it is
         "\"-27.5 dB \xc2\xb5s \xe2\x80\x94 \xf0\x9f\x8e\xb5\""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(jsonString(c.text), c.json) << c.text;
    }
}

// Bytes that are no UTF-8 (a device path or a holder's name may hold any): each ill-formed
// sequence becomes one U+FFFD, so the answer is still a JSON document a strict parser takes.
TEST(CliJsonString, BytesThatAreNoUtf8BecomeReplacementCharacters) {
    const struct {
        std::string text;
        std::string json;
    } cases[] = {
        {"\xff", R"("\ufffd")"},
        {"/dev/tty\xe9x", R"("/dev/tty\ufffdx")"},             // Latin-1
        {"\x80\xbf", R"("\ufffd\ufffd")"},                     // continuations alone
        {"\xc0\xaf", R"("\ufffd\ufffd")"},                     // an overlong '/'
        {"\xe0\x80\xaf", R"("\ufffd\ufffd\ufffd")"},           // overlong in three bytes
        {"\xed\xa0\x80", R"("\ufffd\ufffd\ufffd")"},           // a surrogate
        {"\xf4\x90\x80\x80", R"("\ufffd\ufffd\ufffd\ufffd")"}, // beyond U+10FFFF
        {"\xe2\x80x", R"("\ufffdx")"},                         // cut short: one for the prefix
        {"\xf0\x9f\x8e", R"("\ufffd")"},                       // cut short at the end
        {"\xc2\xb5\xb5", "\"\xc2\xb5\\ufffd\""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(jsonString(c.text), c.json) << c.json;
    }
}

TEST(CliJsonWriter, SeparatesValuesMembersAndNesting) {
    const struct {
        const char* name;
        std::function<void(JsonWriter&)> write;
        std::string json;
    } cases[] = {
        {"empty object", [](JsonWriter& j) { j.beginObject().endObject(); }, "{}"},
        {"numbers",
         [](JsonWriter& j) {
             j.beginArray().value(0LL).value(-1LL).value(LLONG_MIN).value(LLONG_MAX).endArray();
         },
         "[0,-1,-9223372036854775808,9223372036854775807]"},
        {"every kind of value",
         [](JsonWriter& j) {
             j.beginObject().key("t").value(true).key("f").value(false).key("n").null();
             j.key("s").value("x").key("c").value(std::string("y")).endObject();
         },
         R"({"t":true,"f":false,"n":null,"s":"x","c":"y"})"},
        {"nesting",
         [](JsonWriter& j) {
             j.beginObject().key("a").beginArray().beginArray().endArray().beginObject();
             j.endObject().beginArray().value(1LL).endArray().endArray();
             j.key("b").beginObject().key("c").beginArray().endArray().endObject().endObject();
         },
         R"({"a":[[],{},[1]],"b":{"c":[]}})"},
        {"keys escaped", [](JsonWriter& j) { j.beginObject().key("\"\n").null().endObject(); },
         R"({"\"\n":null})"},
    };
    for (const auto& c : cases) {
        JsonWriter json;
        c.write(json);
        EXPECT_EQ(json.text(), c.json) << c.name;
    }
}

} // namespace
