#include "checker/reports/json_report.h"

#include "checker/output/json_members.h"
#include "checker/plan_views/plan_json.h"

namespace boot {

void WriteJsonReport(const Findings& findings, const Plan* plan, const ReportSettings& settings, TextOutput& output)
{
    OutputBuffer out(output);
    JsonWriter json(out);
    json.BeginObject();
    BeginObjectMember(json, "tool");
    json.Field("name", settings.program);
    json.Field("version", settings.version);
    json.EndObject();
    json.Field("folder", settings.shownFolder[0] != '\0' ? settings.shownFolder : ".");
    json.Field("errors", findings.Errors());
    json.Field("warnings", findings.Warnings());
    json.Field("unkept", std::int64_t{0});  // the format's field from when findings were capped: all are kept
    BeginArrayMember(json, "findings");
    for (std::size_t i = 0; i < findings.Count(); ++i) {
        const Finding finding = findings.At(i);
        json.BeginObject();
        json.Field("file", ShownPath(settings, ToUtf8(settings, finding.file)).c_str());
        json.Key("line");
        if (finding.line != 0) {
            json.Number(finding.line);
        } else {
            json.Null();
        }
        json.Field("severity", finding.severity == Severity::error ? "error" : "warning");
        json.Field("rule", finding.rule);
        json.Field("message", ToUtf8(settings, finding.message).c_str());
        json.EndObject();
    }
    json.EndArray();
    if (plan != nullptr) {
        json.Key("plan");
        WritePlanJson(*plan, settings, json);
    }
    json.EndObject();
    json.End();
}

}  // namespace boot
