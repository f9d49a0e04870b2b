#include "checker/reports/plan_model.h"

#include <algorithm>

#include "checker/reading/setup_languages.h"
#include "checker/rules/prerequisite_notes.h"
#include "language/language_discovery.h"

namespace boot {

namespace {

constexpr const char* kLanguageNames[2] = {"German (Deutsch)", "English"};

// Each step in run order comes after the stage named here: a run that ends at or before
// it does not come to the step.
constexpr RunStage kStepFollows[] = {RunStage::start, RunStage::preSetup, RunStage::prerequisites,
                                     RunStage::languages, RunStage::installer};

std::size_t StepsReached(RunStage endsAt)
{
    return static_cast<std::size_t>(std::count_if(std::begin(kStepFollows), std::end(kStepFollows),
                                                  [endsAt](RunStage stage) { return endsAt > stage; }));
}

PrerequisiteModel ModelOfPrerequisite(const PlannedPrerequisite& planned)
{
    const PrerequisiteStep& step = planned.step;
    PrerequisiteModel model;
    model.section = "Prereq" + std::to_string(planned.number);
    model.execute = step.execute.Get();
    model.checkKey = step.checkKey.Get();
    model.checkValue = step.checkValue.Get();
    model.checkContent = step.checkContent.Get();
    model.doExecuteIfCheckIs = step.doExecuteIfCheckIs;
    model.debug = step.debugMode;
    model.expectedExitCode = step.expectedExitCode;
    model.check = planned.check;
    if (planned.check != MachineCheck::unknown) {
        model.runsHere = (planned.check == MachineCheck::passes) == step.doExecuteIfCheckIs;
    }
    const char* notes[kMostPrerequisiteNotes] = {};
    model.notes.assign(notes, notes + PrerequisiteNotes(step, notes));
    return model;
}

PackageModel ModelOfPackage(const Plan& plan)
{
    const PackageInfo& info = plan.package;
    PackageModel model;
    model.path = plan.packagePath.Get();
    model.languagesFolder = plan.languagesDirectory.Get();
    model.packagesFound = plan.packagesFound;
    model.ntfsFirstPackage = plan.ntfsFirstPackage.Get();
    model.read = plan.endsAt > RunStage::package;
    model.productCode = info.productCode.Get();
    model.productVersion = info.productVersion.Get();
    model.productLanguage = info.productLanguage;
    if (plan.is64BitPackage) {
        model.template64Bit = plan.packageTemplate.Get();
    }
    if (plan.MachineSaysInstalled()) {
        model.installed = InstalledProduct{info.isInstalled, info.installedVersion.Get(), info.isNewer};
    }
    return model;
}

std::string TransformPath(const Plan& plan, const std::string& name)
{
    return std::string(plan.languagesDirectory.Get()) + "\\" + name + kTransformExtension;
}

void ModelLanguages(const Plan& plan, PlanModel& model)
{
    for (int i = 0; i < 2; ++i) {
        if (!plan.offered[i]) {
            continue;
        }
        LanguageModel language;
        language.id = kLanguageIds[i];
        language.name = kLanguageNames[i];
        if (kLanguageIds[i] != plan.package.productLanguage) {
            language.transform = TransformPath(plan, std::to_string(kLanguageIds[i]));
        }
        language.transformVerdict = plan.transformVerdict[i].Get();
        language.installCommand = plan.install[i].Get();
        model.languages.push_back(language);
    }
    if (plan.language.hasDocumentationTransform) {
        model.documentationTransform = TransformPath(plan, kDocumentationTransformName);
    }
}

// Where the machine says whether the product is installed, only the run it takes is
// shown; elsewhere both.
InstallerModel ModelOfInstaller(const Plan& plan)
{
    const PackageInfo& info = plan.package;
    InstallerModel model;
    model.msiexec = plan.msiexec.Get();
    model.machineAnswered = plan.MachineSaysInstalled();
    model.newInstallation = !model.machineAnswered || !info.isInstalled;
    model.maintenance = !model.machineAnswered || info.isInstalled;
    if (!model.machineAnswered || info.isNewer) {
        model.recache = plan.recache.Get();
    }
    model.maintenanceCommand = plan.maintenance.Get();
    return model;
}

WayEndModel ModelOfEnd(const RunWay& way)
{
    WayEndModel end;
    end.stage = way.endStage;
    end.exitCode = way.exitCode;
    if (way.endsWithInstaller) {
        end.exitCodeOf = ExitCodeOf::msiexec;
    } else if (way.endsWithPrerequisiteExitCode) {
        end.exitCodeOf = ExitCodeOf::prerequisite;
    }
    const auto last = std::find_if(way.events.rbegin(), way.events.rend(),
                                   [](const WayEvent& event) { return event.kind == WayEvent::Kind::box; });
    if (last != way.events.rend()) {
        end.lastBox = last->text;
    }
    return end;
}

WayModel ModelOfWay(const RunWays& ways, std::size_t index)
{
    const RunWay& way = ways.ways[index];
    WayModel model;
    model.number = index + 1;
    model.machineTakes = ways.hasMachineWay && ways.machineWay == index;
    std::size_t first = 0;
    if (way.branches) {
        model.branch = way.events[way.branchEvent];
        first = way.branchEvent + 1;
    }
    model.events.assign(way.events.begin() + static_cast<std::ptrdiff_t>(first), way.events.end());
    if (way.joins) {
        model.joinsWay = way.joinedWay + 1;
        model.joinsAt = ways.ways[way.joinedWay].events[way.joinedEvent].point;
    } else {
        model.end = ModelOfEnd(way);
    }
    return model;
}

WaysModel ModelOfWays(const RunWays& ways)
{
    WaysModel model;
    model.runs = ways.runs;
    model.exploredPrerequisites = ways.exploredPrerequisites;
    model.prerequisitesBeyond = ways.prerequisitesBeyond;
    model.machineWay = ways.hasMachineWay ? ways.machineWay + 1 : 0;
    for (std::size_t i = 0; i < ways.ways.size(); ++i) {
        model.ways.push_back(ModelOfWay(ways, i));
    }
    return model;
}

}  // namespace

PlanModel ModelOfPlan(const Plan& plan)
{
    PlanModel model;
    model.folder = plan.folder.Get();
    model.machineKnown = plan.machineKnown;
    model.setupIniIsUtf8 = plan.setupIniIsUtf8;
    model.deepestPath = plan.deepestPath.Get();
    model.pathBudget = plan.pathBudget;
    if (plan.endsAt != RunStage::done) {
        model.end = PlanEndModel{plan.endsAt, plan.endMessage, plan.endShowsPrerequisiteExitCode, plan.checkStopped};
    }
    model.steps = StepsReached(plan.endsAt);
    if (plan.preSetupRuns) {
        model.preSetup = PlannedStart{plan.preSetupCommand.commandLine.Get(), plan.preSetupCommand.application.Get()};
    }
    model.preSetupPassed = plan.endsAt > RunStage::preSetup;
    for (const PlannedPrerequisite& planned : plan.prerequisites) {
        model.prerequisites.push_back(ModelOfPrerequisite(planned));
    }
    model.prerequisitesPassed = plan.endsAt > RunStage::prerequisites;
    model.package = ModelOfPackage(plan);
    ModelLanguages(plan, model);
    model.installer = ModelOfInstaller(plan);
    model.ways = ModelOfWays(plan.ways);
    return model;
}

}  // namespace boot
