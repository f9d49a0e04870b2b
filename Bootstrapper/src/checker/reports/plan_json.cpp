#include "checker/reports/plan_json.h"

#include "checker/reading/setup_languages.h"
#include "checker/rules/prerequisite_notes.h"
#include "language/language_discovery.h"

namespace boot {

namespace {

constexpr const char* kLanguageNames[2] = {"German (Deutsch)", "English"};

bool EndsBefore(const Plan& plan, Plan::Stage stage) { return plan.endsAt <= stage; }

const char* StageName(Plan::Stage stage)
{
    switch (stage) {
    case Plan::Stage::start:
        return "start";
    case Plan::Stage::preSetup:
        return "preSetup";
    case Plan::Stage::prerequisites:
        return "prerequisites";
    case Plan::Stage::package:
        return "package";
    case Plan::Stage::languages:
        return "languages";
    case Plan::Stage::installer:
        return "installer";
    case Plan::Stage::done:
        break;
    }
    return "done";
}

class PlanWriter {
public:
    PlanWriter(const ReportSettings& settings, JsonWriter& json) : settings_(settings), json_(json) {}

    // A text of the plan (in the ANSI code page) as a member.
    void Text(const char* name, const char* ansi)
    {
        static Utf8Text utf8;
        json_.Field(name, ToUtf8(settings_, ansi, utf8));
    }
    // The same, null when empty.
    void TextOrNull(const char* name, const char* ansi)
    {
        if (ansi[0] == '\0') {
            json_.Key(name);
            json_.Null();
        } else {
            Text(name, ansi);
        }
    }
    JsonWriter& Json() { return json_; }

private:
    const ReportSettings& settings_;
    JsonWriter& json_;
};

void WriteEnd(PlanWriter& out, const Plan& plan)
{
    JsonWriter& json = out.Json();
    json.Key("end");
    if (plan.endsAt == Plan::Stage::done) {
        json.Null();
        return;
    }
    json.BeginObject();
    json.Field("stage", StageName(plan.endsAt));
    out.Text("message", plan.endMessage.Get());
    json.EndObject();
}

void WritePreSetup(PlanWriter& out, const Plan& plan)
{
    JsonWriter& json = out.Json();
    json.Key("preSetup");
    if (!plan.preSetupRuns) {
        json.Null();
        return;
    }
    json.BeginObject();
    out.Text("commandLine", plan.preSetupCommand.commandLine.Get());
    out.TextOrNull("application", plan.preSetupCommand.application.Get());
    json.EndObject();
}

const char* CheckName(MachineCheck check)
{
    switch (check) {
    case MachineCheck::passes:
        return "passes";
    case MachineCheck::fails:
        return "fails";
    case MachineCheck::unknown:
        break;
    }
    return "unknown";
}

void WritePrerequisite(PlanWriter& out, const PlannedPrerequisite& planned)
{
    JsonWriter& json = out.Json();
    const PrerequisiteStep& step = planned.step;
    json.BeginObject();
    TextBuffer section;
    section.Format("Prereq%d", static_cast<int>(planned.number));
    json.Field("section", section.Get());
    out.Text("execute", step.execute.Get());
    json.BoolField("doExecuteIfCheckIs", step.doExecuteIfCheckIs);
    out.Text("checkKey", step.checkKey.Get());
    out.Text("checkValue", step.checkValue.Get());
    out.Text("checkContent", step.checkContent.Get());
    json.BoolField("debug", step.debugMode);
    json.Field("expectedExitCode", step.expectedExitCode);
    json.Field("check", CheckName(planned.check));
    json.Key("runs");
    if (planned.check == MachineCheck::unknown) {
        json.Null();
    } else {
        json.Bool((planned.check == MachineCheck::passes) == step.doExecuteIfCheckIs);
    }
    const char* notes[kMostPrerequisiteNotes] = {};
    const std::size_t noteCount = PrerequisiteNotes(step, notes);
    json.Key("notes");
    json.BeginArray();
    for (std::size_t n = 0; n < noteCount; ++n) {
        json.String(notes[n]);
    }
    json.EndArray();
    json.EndObject();
}

void WritePrerequisites(PlanWriter& out, const Plan& plan)
{
    JsonWriter& json = out.Json();
    json.Field("prerequisiteCount", static_cast<std::int64_t>(plan.prerequisiteCount));
    json.Key("prerequisites");
    json.BeginArray();
    for (std::size_t i = 0; i < plan.prerequisiteCount && i < kPlannedPrerequisites; ++i) {
        WritePrerequisite(out, plan.prerequisites[i]);
    }
    json.EndArray();
}

void WritePackage(PlanWriter& out, const Plan& plan)
{
    JsonWriter& json = out.Json();
    const PackageInfo& info = plan.package;
    json.Key("package");
    json.BeginObject();
    out.Text("path", plan.packagePath.Get());
    out.TextOrNull("languagesFolder", plan.languagesDirectory.Get());
    if (!EndsBefore(plan, Plan::Stage::package)) {
        out.Text("productCode", info.productCode.Get());
        out.Text("productVersion", info.productVersion.Get());
        json.Field("productLanguage", info.productLanguage);
        if (plan.MachineSaysInstalled()) {
            json.BoolField("installed", info.isInstalled);
            out.TextOrNull("installedVersion", info.installedVersion.Get());
            json.BoolField("newer", info.isNewer);
        } else {
            json.Key("installed");
            json.Null();
            json.Key("installedVersion");
            json.Null();
            json.Key("newer");
            json.Null();
        }
    }
    json.EndObject();
}

void WriteLanguages(PlanWriter& out, const Plan& plan)
{
    JsonWriter& json = out.Json();
    json.Key("languages");
    json.BeginArray();
    for (int i = 0; i < 2; ++i) {
        if (!plan.offered[i]) {
            continue;
        }
        json.BeginObject();
        json.Field("id", kLanguageIds[i]);
        json.Field("name", kLanguageNames[i]);
        if (kLanguageIds[i] == plan.package.productLanguage) {
            json.Key("transform");
            json.Null();
        } else {
            TextBuffer transform;
            transform.Format("%s\\%d%s", plan.languagesDirectory.Get(), static_cast<int>(kLanguageIds[i]),
                             kTransformExtension);
            out.Text("transform", transform.Get());
        }
        json.EndObject();
    }
    json.EndArray();
    if (plan.language.hasDocumentationTransform) {
        TextBuffer documentation;
        documentation.Format("%s\\%s%s", plan.languagesDirectory.Get(), kDocumentationTransformName,
                             kTransformExtension);
        out.Text("documentationTransform", documentation.Get());
    } else {
        json.Key("documentationTransform");
        json.Null();
    }
}

void WriteInstaller(PlanWriter& out, const Plan& plan)
{
    JsonWriter& json = out.Json();
    const PackageInfo& info = plan.package;
    json.Key("installer");
    json.BeginObject();
    out.Text("msiexec", plan.msiexec.Get());
    const bool machineSays = plan.MachineSaysInstalled();
    if (!machineSays || !info.isInstalled) {
        json.Key("newInstallation");
        json.BeginArray();
        for (int i = 0; i < 2; ++i) {
            if (plan.offered[i]) {
                json.BeginObject();
                json.Field("language", kLanguageIds[i]);
                out.Text("commandLine", plan.install[i].Get());
                json.EndObject();
            }
        }
        json.EndArray();
    }
    if (!machineSays || info.isInstalled) {
        if (!machineSays || info.isNewer) {
            out.Text("recache", plan.recache.Get());
        }
        out.Text("maintenance", plan.maintenance.Get());
    }
    json.EndObject();
}

const char* RunStageName(RunStage stage) { return StageName(static_cast<Plan::Stage>(stage)); }

void WriteWay(PlanWriter& out, const RunWays& ways, std::size_t index)
{
    JsonWriter& json = out.Json();
    const RunWay& way = ways.ways[index];
    json.BeginObject();
    json.Key("branch");
    if (way.branches) {
        const WayEvent& choice = way.events[way.branchEvent];
        json.BeginObject();
        out.Text("point", choice.point.c_str());
        out.Text("answer", choice.text.c_str());
        json.EndObject();
    } else {
        json.Null();
    }
    json.Key("events");
    json.BeginArray();
    for (std::size_t i = way.branches ? way.branchEvent + 1 : 0; i < way.events.size(); ++i) {
        const WayEvent& event = way.events[i];
        json.BeginObject();
        switch (event.kind) {
        case WayEvent::Kind::choice:
            out.Text("point", event.point.c_str());
            out.Text("answer", event.text.c_str());
            break;
        case WayEvent::Kind::start:
            out.Text("start", event.text.c_str());
            out.TextOrNull("application", event.application.c_str());
            break;
        case WayEvent::Kind::box:
            out.Text("box", event.text.c_str());
            break;
        }
        json.EndObject();
    }
    json.EndArray();
    json.Key("joins");
    if (way.joins) {
        json.BeginObject();
        json.Field("way", static_cast<std::int64_t>(way.joinedWay) + 1);
        out.Text("at", ways.ways[way.joinedWay].events[way.joinedEvent].point.c_str());
        json.EndObject();
        json.Key("end");
        json.Null();
    } else {
        json.Null();
        json.Key("end");
        json.BeginObject();
        json.Field("stage", RunStageName(way.endStage));
        // msiexec's or a prerequisite's own exit code is not the checker's to tell.
        json.Key("exitCode");
        if (way.endsWithInstaller || way.endsWithPrerequisiteExitCode) {
            json.Null();
        } else {
            json.Number(way.exitCode);
        }
        json.Key("exitCodeOf");
        if (way.endsWithInstaller) {
            json.String("msiexec");
        } else if (way.endsWithPrerequisiteExitCode) {
            json.String("prerequisite");
        } else {
            json.Null();
        }
        json.EndObject();
    }
    json.EndObject();
}

void WriteWays(PlanWriter& out, const RunWays& ways)
{
    JsonWriter& json = out.Json();
    json.Key("ways");
    json.BeginObject();
    json.Field("runs", static_cast<std::int64_t>(ways.runs));
    json.Field("exploredPrerequisites", static_cast<std::int64_t>(ways.exploredPrerequisites));
    json.Key("machineWay");
    if (ways.hasMachineWay) {
        json.Number(static_cast<std::int64_t>(ways.machineWay) + 1);
    } else {
        json.Null();
    }
    json.Key("ways");
    json.BeginArray();
    for (std::size_t i = 0; i < ways.ways.size(); ++i) {
        WriteWay(out, ways, i);
    }
    json.EndArray();
    json.EndObject();
}

}  // namespace

void WritePlanJson(const Plan& plan, const ReportSettings& settings, JsonWriter& json)
{
    PlanWriter out(settings, json);
    json.BeginObject();
    out.Text("folder", plan.folder.Get());
    json.BoolField("machineKnown", plan.machineKnown);
    WriteEnd(out, plan);
    // Each step in run order, and the stage after which the run would already have ended.
    const struct {
        Plan::Stage endsBefore;
        void (*write)(PlanWriter&, const Plan&);
    } steps[] = {
        {Plan::Stage::start, WritePreSetup},        {Plan::Stage::preSetup, WritePrerequisites},
        {Plan::Stage::prerequisites, WritePackage}, {Plan::Stage::languages, WriteLanguages},
        {Plan::Stage::installer, WriteInstaller},
    };
    for (const auto& step : steps) {
        if (EndsBefore(plan, step.endsBefore)) {
            break;
        }
        step.write(out, plan);
    }
    WriteWays(out, plan.ways);
    json.EndObject();
}

}  // namespace boot
