#include "checker/reports/plan_json.h"

#include "checker/reports/plan_model.h"

namespace boot {

namespace {

const char* StageName(RunStage stage)
{
    switch (stage) {
    case RunStage::start:
        return "start";
    case RunStage::preSetup:
        return "preSetup";
    case RunStage::prerequisites:
        return "prerequisites";
    case RunStage::package:
        return "package";
    case RunStage::languages:
        return "languages";
    case RunStage::installer:
        return "installer";
    case RunStage::done:
        break;
    }
    return "done";
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

const char* ExitCodeOfName(ExitCodeOf of)
{
    return of == ExitCodeOf::msiexec ? "msiexec" : "prerequisite";
}

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

void WriteEnd(PlanWriter& out, const std::optional<PlanEndModel>& end)
{
    if (!end) {
        out.Null("end");
        return;
    }
    JsonWriter& json = out.Json();
    json.Key("end");
    json.BeginObject();
    json.Field("stage", StageName(end->stage));
    out.Text("message", end->message);
    json.EndObject();
}

void WritePreSetup(PlanWriter& out, const PlanModel& plan)
{
    if (!plan.preSetup) {
        out.Null("preSetup");
        return;
    }
    JsonWriter& json = out.Json();
    json.Key("preSetup");
    json.BeginObject();
    out.Text("commandLine", plan.preSetup->commandLine);
    out.TextOrNull("application", plan.preSetup->application);
    json.EndObject();
}

void WritePrerequisite(PlanWriter& out, const PrerequisiteModel& prerequisite)
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
    json.Field("check", CheckName(prerequisite.check));
    if (prerequisite.runsHere) {
        json.BoolField("runs", *prerequisite.runsHere);
    } else {
        out.Null("runs");
    }
    json.Key("notes");
    json.BeginArray();
    for (const std::string& note : prerequisite.notes) {
        json.String(note.c_str());
    }
    json.EndArray();
    json.EndObject();
}

void WritePrerequisites(PlanWriter& out, const PlanModel& plan)
{
    JsonWriter& json = out.Json();
    json.Field("prerequisiteCount", static_cast<std::int64_t>(plan.prerequisites.size()));
    json.Key("prerequisites");
    json.BeginArray();
    for (const PrerequisiteModel& prerequisite : plan.prerequisites) {
        WritePrerequisite(out, prerequisite);
    }
    json.EndArray();
}

void WriteInstalledProduct(PlanWriter& out, const std::optional<InstalledProduct>& installed)
{
    if (!installed) {
        out.Null("installed");
        out.Null("installedVersion");
        out.Null("newer");
        return;
    }
    JsonWriter& json = out.Json();
    json.BoolField("installed", installed->installed);
    out.TextOrNull("installedVersion", installed->version);
    json.BoolField("newer", installed->newer);
}

void WritePackage(PlanWriter& out, const PlanModel& plan)
{
    JsonWriter& json = out.Json();
    const PackageModel& package = plan.package;
    json.Key("package");
    json.BeginObject();
    out.Text("path", package.path);
    out.TextOrNull("languagesFolder", package.languagesFolder);
    if (package.read) {
        out.Text("productCode", package.productCode);
        out.Text("productVersion", package.productVersion);
        json.Field("productLanguage", package.productLanguage);
        WriteInstalledProduct(out, package.installed);
    }
    json.EndObject();
}

void WriteLanguages(PlanWriter& out, const PlanModel& plan)
{
    JsonWriter& json = out.Json();
    json.Key("languages");
    json.BeginArray();
    for (const LanguageModel& language : plan.languages) {
        json.BeginObject();
        json.Field("id", language.id);
        json.Field("name", language.name);
        out.TextOrNull("transform", language.transform);
        json.EndObject();
    }
    json.EndArray();
    out.TextOrNull("documentationTransform", plan.documentationTransform);
}

void WriteInstaller(PlanWriter& out, const PlanModel& plan)
{
    JsonWriter& json = out.Json();
    const InstallerModel& installer = plan.installer;
    json.Key("installer");
    json.BeginObject();
    out.Text("msiexec", installer.msiexec);
    if (installer.newInstallation) {
        json.Key("newInstallation");
        json.BeginArray();
        for (const LanguageModel& language : plan.languages) {
            json.BeginObject();
            json.Field("language", language.id);
            out.Text("commandLine", language.installCommand);
            json.EndObject();
        }
        json.EndArray();
    }
    if (installer.maintenance) {
        if (installer.recache) {
            out.Text("recache", *installer.recache);
        }
        out.Text("maintenance", installer.maintenanceCommand);
    }
    json.EndObject();
}

void WriteEvent(PlanWriter& out, const WayEvent& event)
{
    JsonWriter& json = out.Json();
    json.BeginObject();
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
    json.EndObject();
}

// msiexec's or a prerequisite's own exit code is not the checker's to tell.
void WriteWayEnd(PlanWriter& out, const WayEndModel& end)
{
    JsonWriter& json = out.Json();
    json.Key("end");
    json.BeginObject();
    json.Field("stage", StageName(end.stage));
    if (end.exitCodeOf == ExitCodeOf::run) {
        json.Field("exitCode", end.exitCode);
        out.Null("exitCodeOf");
    } else {
        out.Null("exitCode");
        json.Field("exitCodeOf", ExitCodeOfName(end.exitCodeOf));
    }
    json.EndObject();
}

void WriteWay(PlanWriter& out, const WayModel& way)
{
    JsonWriter& json = out.Json();
    json.BeginObject();
    if (way.branch) {
        json.Key("branch");
        json.BeginObject();
        out.Text("point", way.branch->point);
        out.Text("answer", way.branch->text);
        json.EndObject();
    } else {
        out.Null("branch");
    }
    json.Key("events");
    json.BeginArray();
    for (const WayEvent& event : way.events) {
        WriteEvent(out, event);
    }
    json.EndArray();
    if (way.end) {
        out.Null("joins");
        WriteWayEnd(out, *way.end);
    } else {
        json.Key("joins");
        json.BeginObject();
        json.Field("way", static_cast<std::int64_t>(way.joinsWay));
        out.Text("at", way.joinsAt);
        json.EndObject();
        out.Null("end");
    }
    json.EndObject();
}

void WriteWays(PlanWriter& out, const WaysModel& ways)
{
    JsonWriter& json = out.Json();
    json.Key("ways");
    json.BeginObject();
    json.Field("runs", static_cast<std::int64_t>(ways.runs));
    json.Field("exploredPrerequisites", static_cast<std::int64_t>(ways.exploredPrerequisites));
    if (ways.machineWay != 0) {
        json.Field("machineWay", static_cast<std::int64_t>(ways.machineWay));
    } else {
        out.Null("machineWay");
    }
    json.Key("ways");
    json.BeginArray();
    for (const WayModel& way : ways.ways) {
        WriteWay(out, way);
    }
    json.EndArray();
    json.EndObject();
}

}  // namespace

void WritePlanJson(const Plan& plan, const ReportSettings& settings, JsonWriter& json)
{
    const PlanModel model = ModelOfPlan(plan);
    PlanWriter out(settings, json);
    json.BeginObject();
    out.Text("folder", model.folder);
    json.BoolField("machineKnown", model.machineKnown);
    WriteEnd(out, model.end);
    // The steps in run order; the run ends before those after `model.steps`.
    void (*const steps[])(PlanWriter&, const PlanModel&) = {WritePreSetup, WritePrerequisites, WritePackage,
                                                             WriteLanguages, WriteInstaller};
    for (std::size_t i = 0; i < model.steps; ++i) {
        steps[i](out, model);
    }
    WriteWays(out, model.ways);
    json.EndObject();
}

}  // namespace boot
