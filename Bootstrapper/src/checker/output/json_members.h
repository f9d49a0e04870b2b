#pragma once
// A member of the object being written that is itself an object or an array: its name,
// then its opening bracket. The caller closes it.

#include "checker/output/json_writer.h"

namespace boot {

inline void BeginObjectMember(JsonWriter& json, const char* name)
{
    json.Key(name);
    json.BeginObject();
}

inline void BeginArrayMember(JsonWriter& json, const char* name)
{
    json.Key(name);
    json.BeginArray();
}

}  // namespace boot
