#include <algorithm>
#include <cstdint>

#include "checker/rules/prerequisite_check.h"
#include "checker/rules/program_path_check.h"
#include "checker/walk/folder_walk.h"
#include "prereq/prerequisite_chain.h"
#include "services/setup_ini.h"

namespace boot::folder_walk {

namespace {

constexpr std::int64_t kLastSectionNumber = kLastSectionIndex;

SetupIniReading IniReading(const Walk& walk)
{
    return SetupIniReading{walk.platform, walk.plan.folder, walk.iniPath, walk.text};
}

// The pre-setup program the furthest run started, if any, and the rules over SetupPath.
void CheckPreSetup(Walk& walk)
{
    Plan& plan = walk.plan;
    if (plan.ways.ways.empty() || walk.furthest.endStage < RunStage::preSetup) {
        return;
    }
    const WholeWay whole = FollowWay(plan.ways, walk.furthest.way);
    const auto start = std::find_if(whole.events.begin(), whole.events.end(), [](const WayEvent* event) {
        return event->kind == WayEvent::Kind::start && event->stage == RunStage::preSetup;
    });
    if (start != whole.events.end()) {
        plan.preSetupRuns = true;
        plan.preSetupCommand.commandLine.Assign((*start)->text.c_str());
        plan.preSetupCommand.application.Assign((*start)->application.c_str());
    }
    TextBuffer setupPath;
    if (ReadSetupValue(walk.platform, walk.iniPath, kStartSection, "SetupPath", setupPath) == SetupValue::read &&
        !setupPath.IsEmpty()) {
        CheckProgramPath(IniReading(walk), kStartSection, "SetupPath", setupPath.Get(), "the setup goes on without it",
                         walk.findings);
    }
}

// The step just read into the plan's last row counts as the plan's next, with the machine's answer to
// its check where the machine can be asked.
void KeepInPlan(Walk& walk, std::int32_t number, const PrerequisiteStep& step)
{
    Plan& plan = walk.plan;
    PlannedPrerequisite& planned = plan.prerequisites.back();
    planned.number = number;
    planned.check = MachineCheck::unknown;
    if (plan.machineKnown) {
        planned.check = EvaluateRegistryCheck(walk.platform, step) ? MachineCheck::passes : MachineCheck::fails;
    }
}

// The sections the furthest run read, up to the one that ends the chain or the run.
void CheckPrerequisites(Walk& walk)
{
    Plan& plan = walk.plan;
    std::int64_t number = 0;
    for (; number <= walk.furthest.end.prerequisite; ++number) {
        // A step cannot be copied: it is read into the plan's next row, which goes when it is not read.
        PrerequisiteStep& step = plan.prerequisites.emplace_back().step;
        if (ReadPrerequisiteStep(walk.platform, walk.iniPath, static_cast<std::int32_t>(number), step) !=
            PrerequisiteReading::kStepRead) {
            plan.prerequisites.pop_back();
            break;
        }
        TextBuffer section;
        section.Format("%s%d", kPrerequisiteSectionPrefix, static_cast<int>(number));
        CheckPrerequisiteValues(IniReading(walk), section.Get(), step, walk.findings);
        KeepInPlan(walk, static_cast<std::int32_t>(number), step);
    }
    if (walk.furthest.endStage <= RunStage::prerequisites || number > kLastSectionNumber) {
        return;  // the chain has no end the run came to
    }
    TextBuffer section;
    section.Format("%s%d", kPrerequisiteSectionPrefix, static_cast<int>(number));
    CheckChainEnd(walk.text, section.Get(), walk.findings);
    CheckUnreachableSections(walk.text, static_cast<std::int32_t>(number), walk.findings);
}

}  // namespace

void CheckSetupValues(Walk& walk)
{
    CheckPreSetup(walk);
    CheckPrerequisites(walk);
}

}  // namespace boot::folder_walk
