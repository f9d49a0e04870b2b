// The decoders of a transform's streams, which the checker runs on whatever .mst a
// package folder holds. The input names the streams' bytes (fuzz_input.h):
// `summary=` the summary information, `pool=` and `data=` the string pool, `property=`
// the Property table's stream. No input may crash a decoder or read outside its bytes;
// what decodes must be whole.

#include <string>
#include <vector>

#include "fuzz_input.h"
#include "msi_file/format/string_pool.h"
#include "msi_file/format/summary_stream.h"
#include "msi_file/model/table_data.h"
#include "msi_file/format/table_stream.h"

namespace boot::fuzzing {
namespace {

using namespace boot::msi;

void CheckSummary(const std::string& bytes)
{
    SummaryInfo summary;
    std::string error;
    if (!DecodeSummaryStream(bytes, summary, error)) {
        FUZZ_CHECK(!error.empty(), "a summary refused without a reason");
        return;
    }
    // What is written back reads back the same, where the writer takes it.
    std::string again;
    SummaryInfo reread;
    if (EncodeSummaryStream(summary, again, error)) {
        FUZZ_CHECK(DecodeSummaryStream(again, reread, error), "a written summary does not read: " << error);
        FUZZ_CHECK(reread.properties.size() == summary.properties.size(), "properties lost on the way back");
    }
}

void CheckTables(const std::string& pool, const std::string& data, const std::string& property)
{
    StringPool strings;
    std::string error;
    if (!DecodeStringPool(pool, data, strings, error)) {
        return;
    }
    FUZZ_CHECK(strings.strings.size() == (pool.size() > 4 ? pool.size() / 4 : 1), "a string lost from the pool");
    const std::vector<Column> columns = {{"Property", kTypeValid | kTypeShort | kTypeString | kTypeKey | 72},
                                         {"Value", kTypeValid | kTypeShort | kTypeString | kTypeLocalizable}};
    for (std::size_t offset = 0; offset < property.size();) {
        const std::size_t before = offset;
        std::uint16_t mask = 0;
        Row values;
        if (!DecodeRecord(columns, property, offset, strings, mask, values, error)) {
            FUZZ_CHECK(offset == before, "a refused record moved the offset");
            return;
        }
        FUZZ_CHECK(offset > before && offset <= property.size(), "offset " << offset << " after " << before);
        FUZZ_CHECK(values.size() == columns.size(), "a record of " << values.size() << " fields");
    }
}

}  // namespace
}  // namespace boot::fuzzing

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const boot::fuzzing::FuzzFields fields(data, size);
    boot::fuzzing::CheckSummary(fields.Bytes("summary"));
    boot::fuzzing::CheckTables(fields.Bytes("pool"), fields.Bytes("data"), fields.Bytes("property"));
    return 0;
}
