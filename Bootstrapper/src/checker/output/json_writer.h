#pragma once
// JSON for the checker's data formats (JSON and SARIF), two blanks of indentation a level,
// written as it goes: the writer places the commas, line breaks and indentation, the
// caller says what comes in which order.

#include <cstddef>
#include <cstdint>

#include "checker/output/escaped_output.h"

namespace boot {

class JsonWriter {
public:
    explicit JsonWriter(OutputBuffer& out) : out_(out) {}
    JsonWriter(const JsonWriter&) = delete;
    JsonWriter& operator=(const JsonWriter&) = delete;
    ~JsonWriter() = default;

    void BeginObject();
    void EndObject();
    void BeginArray();
    void EndArray();
    // The name of the object member whose value comes next (an ASCII name of the format).
    void Key(const char* name);

    void String(const char* utf8);
    void Number(std::int64_t value);
    void Bool(bool value);
    void Null();

    // A member and its value at once.
    void Field(const char* name, const char* utf8)
    {
        Key(name);
        String(utf8);
    }
    void Field(const char* name, std::int64_t value)
    {
        Key(name);
        Number(value);
    }
    void BoolField(const char* name, bool value)
    {
        Key(name);
        Bool(value);
    }

    // After the last value: the closing line end.
    void End();

private:
    static constexpr std::size_t kMaxDepth = 32;

    // Before a value or a member: the comma after the one before, a new line, indentation.
    void BeginItem();
    void Open(const char* bracket);
    void Close(const char* bracket);
    void NewLine();

    OutputBuffer& out_;
    std::size_t depth_ = 0;
    bool hasItems_[kMaxDepth] = {};  // per level: whether a value was written at that level
    bool afterKey_ = false;
};

}  // namespace boot
