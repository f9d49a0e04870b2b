#include "checker/output/json_writer.h"


namespace boot {

void JsonWriter::NewLine()
{
    out_.Put("\n");
    for (std::size_t i = 0; i < depth_; ++i) {
        out_.Put("  ");
    }
}

void JsonWriter::BeginItem()
{
    if (afterKey_) {
        afterKey_ = false;
        return;
    }
    if (depth_ == 0) {
        return;
    }
    if (hasItems_[depth_]) {
        out_.Put(",");
    }
    hasItems_[depth_] = true;
    NewLine();
}

void JsonWriter::Open(const char* bracket)
{
    BeginItem();
    out_.Put(bracket);
    if (depth_ + 1 < kMaxDepth) {
        ++depth_;
        hasItems_[depth_] = false;
    }
}

void JsonWriter::Close(const char* bracket)
{
    const bool hadItems = hasItems_[depth_];
    if (depth_ > 0) {
        --depth_;
    }
    if (hadItems) {
        NewLine();
    }
    out_.Put(bracket);
}

void JsonWriter::BeginObject() { Open("{"); }
void JsonWriter::EndObject() { Close("}"); }
void JsonWriter::BeginArray() { Open("["); }
void JsonWriter::EndArray() { Close("]"); }

void JsonWriter::Key(const char* name)
{
    BeginItem();
    PutJsonString(out_, name);
    out_.Put(": ");
    afterKey_ = true;
}

void JsonWriter::String(const char* utf8)
{
    BeginItem();
    PutJsonString(out_, utf8);
}

void JsonWriter::Number(std::int64_t value)
{
    BeginItem();
    constexpr std::uint64_t kDecimalBase = 10;
    constexpr std::size_t kMostDigits = 20;  // of a 64-bit number
    char text[kMostDigits + 2] = {};         // with the sign and the zero
    std::size_t start = kMostDigits + 1;
    std::uint64_t magnitude = value < 0 ? 0 - static_cast<std::uint64_t>(value) : static_cast<std::uint64_t>(value);
    do {
        text[--start] = static_cast<char>('0' + magnitude % kDecimalBase);
        magnitude /= kDecimalBase;
    } while (magnitude != 0);
    if (value < 0) {
        text[--start] = '-';
    }
    out_.Put(text + start);
}

void JsonWriter::Bool(bool value)
{
    BeginItem();
    out_.Put(value ? "true" : "false");
}

void JsonWriter::Null()
{
    BeginItem();
    out_.Put("null");
}

void JsonWriter::End()
{
    out_.Put("\n");
    out_.Flush();
}

}  // namespace boot
