// Just enough JSON for the command line's answers and the exports: objects, arrays, strings and
// integers, written in order into one line.
#pragma once

#include <string>
#include <string_view>

namespace larkspur {

class JsonWriter {
public:
    JsonWriter& beginObject();
    JsonWriter& endObject();
    JsonWriter& beginArray();
    JsonWriter& endArray();
    // A member's name, inside an object; the value follows.
    JsonWriter& key(std::string_view name);
    JsonWriter& value(std::string_view text);
    // A C string is text: without this a pointer would take the bool overload.
    JsonWriter& value(const char* text) { return value(std::string_view(text)); }
    // No value at all: JSON null (a register that could not be read).
    JsonWriter& null();
    JsonWriter& value(long long number);
    JsonWriter& value(bool flag);

    const std::string& text() const { return m_text; }

private:
    void separate();

    std::string m_text;
    bool m_needComma = false;
};

// `text` as a JSON string, quotes included. Well-formed UTF-8 passes as it is; each ill-formed
// sequence of bytes from 0x80 up becomes one \ufffd (U+FFFD), so that the answer stays JSON.
std::string jsonString(std::string_view text);

} // namespace larkspur
