#include "checker/plan_views/plan_json.h"

#include "checker/output/json_members.h"

namespace boot {

namespace {

// By RunStage and by MachineCheck, in their order.
constexpr const char* kStageNames[] = {"start", "preSetup", "prerequisites", "package", "languages", "installer", "done"};
constexpr const char* kCheckNames[] = {"unknown", "passes", "fails"};

const char* StageName(RunStage stage) { return kStageNames[static_cast<std::size_t>(stage)]; }

class PlanWriter {
public:
    PlanWriter(const ReportSettings& settings, JsonWriter& json) : settings_(settings), json_(json) {}

    // A text of the plan (in the ANSI code page) as a member.
    void Text(const char* name, const std::string& ansi) { json_.Field(name, ToUtf8(settings_, ansi).c_str()); }
    // The same, null when empty or none.
    void TextOrNull(const char* name, const std::string& ansi)
    {
        if (!ansi.empty()) {
            Text(name, ansi);
        } else {
            Null(name);
        }
    }
    void TextOrNull(const char* name, const std::optional<std::string>& ansi) { TextOrNull(name, ansi.value_or("")); }
    void Null(const char* name)
    {
        json_.Key(name);
        json_.Null();
    }
    JsonWriter& Json() { return json_; }

private:
    const ReportSettings& settings_;
    JsonWriter& json_;
};

void WriteEnd(PlanWriter& out, const Plan& plan)
{
    if (plan.endsAt == RunStage::done) {
        out.Null("end");
        return;
    }
    BeginObjectMember(out.Json(), "end");
    out.Json().Field("stage", StageName(plan.endsAt));
    out.Text("message", plan.endMessage);
    out.Json().EndObject();
}

void WritePreSetup(PlanWriter& out, const Plan& plan)
{
    if (!plan.preSetup) {
        out.Null("preSetup");
        return;
    }
    BeginObjectMember(out.Json(), "preSetup");
    out.Text("commandLine", plan.preSetup->commandLine);
    out.TextOrNull("application", plan.preSetup->application);
    out.Json().EndObject();
}

void WritePrerequisite(PlanWriter& out, const PlannedPrerequisite& prerequisite)
{
    JsonWriter& json = out.Json();
    json.BeginObject();
    json.Field("section", prerequisite.section.c_str());
    out.Text("execute", prerequisite.execute);
    json.BoolField("doExecuteIfCheckIs", prerequisite.doExecuteIfCheckIs);
    out.Text("checkKey", prerequisite.checkKey);
    out.Text("checkValue", prerequisite.checkValue);
    out.Text("checkContent", prerequisite.checkContent);
    json.BoolField("debug", prerequisite.debug);
    json.Field("expectedExitCode", prerequisite.expectedExitCode);
    json.Field("check", kCheckNames[static_cast<std::size_t>(prerequisite.check)]);
    if (const std::optional<bool> runs = RunsHere(prerequisite)) {
        json.BoolField("runs", *runs);
    } else {
        out.Null("runs");
    }
    BeginArrayMember(out.Json(), "notes");
    for (const std::string& note : prerequisite.notes) {
        json.String(note.c_str());
    }
    json.EndArray();
    json.EndObject();
}

void WritePrerequisites(PlanWriter& out, const Plan& plan)
{
    out.Json().Field("prerequisiteCount", static_cast<std::int64_t>(plan.prerequisites.size()));
    BeginArrayMember(out.Json(), "prerequisites");
    for (const PlannedPrerequisite& prerequisite : plan.prerequisites) {
        WritePrerequisite(out, prerequisite);
    }
    out.Json().EndArray();
}

// How this machine's Windows Installer answered for the product, null where it was not asked.
void WriteInstalledProduct(PlanWriter& out, const Plan& plan)
{
    const char* names[] = {"installed", "installedVersion", "newer"};
    if (!plan.MachineSaysInstalled()) {
        for (const char* name : names) {
            out.Null(name);
        }
        return;
    }
    out.Json().BoolField(names[0], plan.package.isInstalled);
    out.TextOrNull(names[1], plan.package.installedVersion);
    out.Json().BoolField(names[2], plan.package.isNewer);
}

void WritePackage(PlanWriter& out, const Plan& plan)
{
    BeginObjectMember(out.Json(), "package");
    out.Text("path", plan.packagePath);
    out.TextOrNull("languagesFolder", plan.languagesDirectory);
    if (plan.endsAt > RunStage::package) {
        out.Text("productCode", plan.package.productCode);
        out.Text("productVersion", plan.package.productVersion);
        out.Json().Field("productLanguage", plan.package.productLanguage);
        WriteInstalledProduct(out, plan);
    }
    out.Json().EndObject();
}

void WriteLanguages(PlanWriter& out, const Plan& plan)
{
    JsonWriter& json = out.Json();
    BeginArrayMember(out.Json(), "languages");
    for (std::size_t i = 0; i < kOfferedLanguageCount; ++i) {
        if (plan.offered[i]) {
            json.BeginObject();
            json.Field("id", kLanguageIds[i]);
            json.Field("name", kLanguageNames[i]);
            out.TextOrNull("transform", LanguageTransform(plan, i));
            json.EndObject();
        }
    }
    json.EndArray();
    out.TextOrNull("documentationTransform", DocumentationTransform(plan));
}

void WriteNewInstallation(PlanWriter& out, const Plan& plan)
{
    JsonWriter& json = out.Json();
    BeginArrayMember(out.Json(), "newInstallation");
    for (std::size_t i = 0; i < 2; ++i) {
        if (plan.offered[i]) {
            json.BeginObject();
            json.Field("language", kLanguageIds[i]);
            out.Text("commandLine", plan.install[i]);
            json.EndObject();
        }
    }
    json.EndArray();
}

void WriteInstaller(PlanWriter& out, const Plan& plan)
{
    BeginObjectMember(out.Json(), "installer");
    out.Text("msiexec", plan.msiexec);
    if (ShowsNewInstallation(plan)) {
        WriteNewInstallation(out, plan);
    }
    if (ShowsMaintenance(plan)) {
        if (ShowsRecache(plan)) {
            out.Text("recache", plan.recache);
        }
        out.Text("maintenance", plan.maintenance);
    }
    out.Json().EndObject();
}

void WriteEvent(PlanWriter& out, const WayEvent& event)
{
    out.Json().BeginObject();
    switch (event.kind) {
    case WayEvent::Kind::choice:
        out.Text("point", event.point);
        out.Text("answer", event.text);
        break;
    case WayEvent::Kind::start:
        out.Text("start", event.text);
        out.TextOrNull("application", event.application);
        break;
    case WayEvent::Kind::box:
        out.Text("box", event.text);
        break;
    }
    out.Json().EndObject();
}

// msiexec's or a prerequisite's own exit code is not the checker's to tell.
void WriteWayEnd(PlanWriter& out, const RunWay& way)
{
    JsonWriter& json = out.Json();
    BeginObjectMember(out.Json(), "end");
    json.Field("stage", StageName(way.endStage));
    if (!way.endsWithInstaller && !way.endsWithPrerequisiteExitCode) {
        json.Field("exitCode", way.exitCode);
        out.Null("exitCodeOf");
    } else {
        out.Null("exitCode");
        json.Field("exitCodeOf", way.endsWithInstaller ? "msiexec" : "prerequisite");
    }
    json.EndObject();
}

void WriteBranch(PlanWriter& out, const RunWay& way)
{
    if (!way.branches) {
        out.Null("branch");
        return;
    }
    const WayEvent& branch = way.events[way.branchEvent];
    BeginObjectMember(out.Json(), "branch");
    out.Text("point", branch.point);
    out.Text("answer", branch.text);
    out.Json().Field("way", static_cast<std::int64_t>(way.branchesFrom) + 1);
    out.Json().EndObject();
}

void WriteWay(PlanWriter& out, const RunWays& ways, const RunWay& way)
{
    JsonWriter& json = out.Json();
    json.BeginObject();
    WriteBranch(out, way);
    BeginArrayMember(out.Json(), "events");
    for (std::size_t i = way.branches ? way.branchEvent + 1 : 0; i < way.events.size(); ++i) {
        WriteEvent(out, way.events[i]);
    }
    json.EndArray();
    if (!way.joins) {
        out.Null("joins");
        WriteWayEnd(out, way);
    } else {
        BeginObjectMember(out.Json(), "joins");
        json.Field("way", static_cast<std::int64_t>(way.joinedWay) + 1);
        out.Text("at", ways.ways[way.joinedWay].events[way.joinedEvent].point);
        json.EndObject();
        out.Null("end");
    }
    json.EndObject();
}

void WriteWays(PlanWriter& out, const RunWays& ways)
{
    JsonWriter& json = out.Json();
    BeginObjectMember(out.Json(), "ways");
    json.Field("runs", static_cast<std::int64_t>(ways.runs));
    json.Field("exploredPrerequisites", static_cast<std::int64_t>(ways.exploredPrerequisites));
    if (ways.hasMachineWay) {
        json.Field("machineWay", static_cast<std::int64_t>(ways.machineWay) + 1);
    } else {
        out.Null("machineWay");
    }
    BeginArrayMember(out.Json(), "ways");
    for (const RunWay& way : ways.ways) {
        WriteWay(out, ways, way);
    }
    json.EndArray();
    json.EndObject();
}

}  // namespace

void WritePlanJson(const Plan& plan, const ReportSettings& settings, JsonWriter& json)
{
    PlanWriter out(settings, json);
    json.BeginObject();
    out.Text("folder", plan.folder);
    json.BoolField("machineKnown", plan.machineKnown);
    WriteEnd(out, plan);
    // The steps in run order; the run ends before those after the ones it reaches.
    void (*const steps[])(PlanWriter&, const Plan&) = {WritePreSetup, WritePrerequisites, WritePackage,
                                                       WriteLanguages, WriteInstaller};
    for (std::size_t i = 0; i < StepsReached(plan); ++i) {
        steps[i](out, plan);
    }
    WriteWays(out, plan.ways);
    json.EndObject();
}

}  // namespace boot
