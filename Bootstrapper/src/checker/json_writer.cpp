#include "checker/json_writer.h"

#include "common/fixed_text.h"

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
    // FormatText knows 32-bit numbers: the sign, then the magnitude in two parts.
    const std::uint64_t magnitude = value < 0 ? 0 - static_cast<std::uint64_t>(value) : static_cast<std::uint64_t>(value);
    constexpr std::uint64_t kBillion = 1000000000;
    FixedText<32> text;
    const char* sign = value < 0 ? "-" : "";
    if (magnitude < kBillion) {
        text.Format("%s%u", sign, static_cast<unsigned>(magnitude));
    } else {
        FixedText<16> low;
        low.Format("%u", static_cast<unsigned>(magnitude % kBillion));
        FixedText<16> zeros;
        for (std::size_t i = low.Length(); i < 9; ++i) {
            zeros.Append("0");
        }
        text.Format("%s%u%s%s", sign, static_cast<unsigned>(magnitude / kBillion), zeros.Get(), low.Get());
    }
    out_.Put(text.Get());
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
