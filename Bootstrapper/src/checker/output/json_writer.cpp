#include "checker/output/json_writer.h"

#include <string>

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
    out_.Put(std::to_string(value).c_str());
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
