#include "checker/reports/sarif_report.h"

#include <algorithm>
#include <string>
#include <unordered_map>

#include "checker/output/escaped_output.h"
#include "checker/output/gathered_output.h"
#include "checker/findings/rule_table.h"
#include "checker/output/json_members.h"

namespace boot {

namespace {

constexpr const char* kSchema = "https://json.schemastore.org/sarif-2.1.0.json";
constexpr const char* kSourceRoot = "%SRCROOT%";

constexpr std::size_t kSarifResultLimit = 25000;  // results in a run that GitHub code scanning takes

// FNV-1a, 64 bits: small, and the same on every platform and in every run.
constexpr std::uint64_t kFnvOffset = 0xCBF29CE484222325u;
constexpr std::uint64_t kFnvPrime = 0x100000001B3u;
constexpr unsigned kHexBase = 16;
constexpr unsigned kHexDigitBits = 4;
constexpr int kHashDigits = 16;

std::uint64_t Hash(std::uint64_t hash, const char* text)
{
    for (const char* p = text;; ++p) {
        hash = (hash ^ static_cast<unsigned char>(*p)) * kFnvPrime;  // the zero too: "ab","c" is not "a","bc"
        if (*p == '\0') {
            return hash;
        }
    }
}

// Results with the same fingerprint text are numbered, as GitHub numbers equal lines: how
// many results with each hash the log has so far.
using Occurrences = std::unordered_map<std::uint64_t, std::uint32_t>;

// "0123456789ABCDEF:1": the hash of what the finding says, not of where it says it.
std::string Fingerprint(const Finding& finding, Occurrences& occurrences)
{
    const std::uint64_t hash = Hash(Hash(Hash(kFnvOffset, finding.rule), finding.file), finding.message);
    char digits[kHashDigits + 1] = {};
    std::uint64_t rest = hash;
    for (int i = kHashDigits - 1; i >= 0; --i) {
        digits[i] = "0123456789abcdef"[rest % kHexBase];
        rest >>= kHexDigitBits;
    }
    return std::string(digits) + ":" + std::to_string(++occurrences[hash]);
}

// A Markdown text without its code marks, for the plain-text descriptions.
std::string WithoutCodeMarks(std::string markdown)
{
    markdown.erase(std::remove(markdown.begin(), markdown.end(), '`'), markdown.end());
    return markdown;
}

const char* Level(Severity severity) { return severity == Severity::error ? "error" : "warning"; }

// `"name": {"key": value}`, the shape most of SARIF's small objects have.
template <typename Value>
void OneMemberObject(JsonWriter& json, const char* name, const char* key, Value value)
{
    BeginObjectMember(json, name);
    json.Field(key, value);
    json.EndObject();
}

// The plain-text descriptions leave the Markdown's code marks out; the help's Markdown is
// laid out as docs/checker.md's section of the rule.
void WriteRule(JsonWriter& json, const RuleInfo& rule)
{
    const std::string described = std::string(rule.summary) + " " + rule.why +
                                  " For example: " + WithoutCodeMarks(rule.example);
    const std::string fixed = WithoutCodeMarks(rule.fixed);
    json.BeginObject();
    json.Field("id", rule.id);
    OneMemberObject(json, "shortDescription", "text", rule.summary);
    OneMemberObject(json, "fullDescription", "text", (described + " Put right: " + fixed).c_str());
    BeginObjectMember(json, "help");
    json.Field("text", (described + " " + rule.help + " For example: " + fixed).c_str());
    json.Field("markdown", (std::string("**What it finds:** ") + rule.summary + "\n\n**Why it matters:** " + rule.why +
                            "\n\n**Example:** " + rule.example + "\n\n**Fix:** " + rule.help +
                            " For example: " + rule.fixed)
                               .c_str());
    json.EndObject();
    OneMemberObject(json, "defaultConfiguration", "level", Level(rule.severity));
    json.EndObject();
}

void WriteTool(JsonWriter& json, const ReportSettings& settings)
{
    BeginObjectMember(json, "tool");
    BeginObjectMember(json, "driver");
    json.Field("name", settings.program);
    json.Field("version", settings.version);
    json.Field("semanticVersion", settings.version);
    if (settings.informationUri[0] != '\0') {
        json.Field("informationUri", settings.informationUri);
    }
    BeginArrayMember(json, "rules");
    for (std::size_t i = 0; i < RuleCount(); ++i) {
        WriteRule(json, RuleAt(i));
    }
    json.EndArray();
    json.EndObject();
    json.EndObject();
}

// The URI reference of a path: relative ("Setup.ini", "../pkg/Setup.ini"), or a "file:"
// URI for an absolute one ("file:///C:/x", "file:///home/x", "file://server/share/x").
std::string PathUri(const char* path)
{
    GatheredOutput gathered;
    {
        OutputBuffer out(gathered);
        if (IsAbsolutePath(path)) {
            const bool server = path[0] == '/' && path[1] == '/';
            out.Put(server ? "file:" : path[0] == '/' ? "file://" : "file:///");
            if (server) {
                out.Put("//");
                path += 2;
            }
        }
        PutUriPath(out, path);
    }
    return gathered.Text();
}

void WriteLocation(JsonWriter& json, const Finding& finding, const ReportSettings& settings)
{
    const std::string path = RelativePath(settings, ToUtf8(settings, finding.file));
    BeginArrayMember(json, "locations");
    json.BeginObject();
    BeginObjectMember(json, "physicalLocation");
    BeginObjectMember(json, "artifactLocation");
    json.Field("uri", PathUri(path.c_str()).c_str());
    if (!IsAbsolutePath(path.c_str()) && settings.currentDirectory[0] != '\0') {
        json.Field("uriBaseId", kSourceRoot);
    }
    json.EndObject();
    // GitHub requires a start line; a finding about a whole file points at its first.
    OneMemberObject(json, "region", "startLine", std::int64_t{finding.line != 0 ? finding.line : 1});
    json.EndObject();
    json.EndObject();
    json.EndArray();
}

void WriteResult(JsonWriter& json, const Finding& finding, const ReportSettings& settings,
                 Occurrences& occurrences)
{
    json.BeginObject();
    json.Field("ruleId", finding.rule);
    if (finding.ruleIndex >= 0) {
        json.Field("ruleIndex", finding.ruleIndex);
    }
    json.Field("level", Level(finding.severity));
    OneMemberObject(json, "message", "text", ToUtf8(settings, finding.message).c_str());
    WriteLocation(json, finding, settings);
    // GitHub matches results across runs by this one fingerprint, and computes it from
    // the file's lines when it is missing, which would tie it to the line.
    OneMemberObject(json, "partialFingerprints", "primaryLocationLineHash",
                    Fingerprint(finding, occurrences).c_str());
    json.EndObject();
}

// Where relative URIs start from: the current directory, ending with "/".
void WriteSourceRoot(JsonWriter& json, const ReportSettings& settings)
{
    if (settings.currentDirectory[0] == '\0') {
        return;
    }
    std::string directory = settings.currentDirectory;
    if (directory.back() != '/') {
        directory += '/';
    }
    BeginObjectMember(json, "originalUriBaseIds");
    OneMemberObject(json, kSourceRoot, "uri", PathUri(directory.c_str()).c_str());
    json.EndObject();
}

// The findings the log leaves out: those beyond GitHub's limit of results in a run.
void WriteLeftOut(JsonWriter& json, const Findings& findings)
{
    const std::size_t beyondLimit = findings.Count() > kSarifResultLimit ? findings.Count() - kSarifResultLimit : 0;
    if (beyondLimit == 0) {
        return;
    }
    BeginArrayMember(json, "invocations");
    json.BeginObject();
    json.BoolField("executionSuccessful", true);
    BeginArrayMember(json, "toolExecutionNotifications");
    json.BeginObject();
    json.Field("level", "warning");
    const std::string text = std::to_string(beyondLimit) +
                             " more findings are left out: GitHub code scanning takes at most " +
                             std::to_string(kSarifResultLimit) + " results in a run";
    OneMemberObject(json, "message", "text", text.c_str());
    json.EndObject();
    json.EndArray();
    json.EndObject();
    json.EndArray();
}

}  // namespace

void WriteSarifReport(const Findings& findings, const ReportSettings& settings, TextOutput& output)
{
    OutputBuffer out(output);
    JsonWriter json(out);
    Occurrences occurrences;
    json.BeginObject();
    json.Field("$schema", kSchema);
    json.Field("version", "2.1.0");
    BeginArrayMember(json, "runs");
    json.BeginObject();
    WriteTool(json, settings);
    WriteSourceRoot(json, settings);
    BeginArrayMember(json, "results");
    for (std::size_t i = 0; i < findings.Count() && i < kSarifResultLimit; ++i) {
        WriteResult(json, findings.At(i), settings, occurrences);
    }
    json.EndArray();
    WriteLeftOut(json, findings);
    json.EndObject();
    json.EndArray();
    json.EndObject();
    json.End();
}

}  // namespace boot
