#include <algorithm>
#include <cstdint>

#include "checker/rules/setup_ini/prerequisite_check.h"
#include "checker/rules/setup_ini/prerequisite_notes.h"
#include "checker/rules/setup_ini/program_path_check.h"
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
        plan.preSetup = PlannedStart{(*start)->text, (*start)->application};
    }
    TextBuffer setupPath;
    if (ReadSetupValue(walk.platform, walk.iniPath, kStartSection, "SetupPath", setupPath) == SetupValue::read &&
        !setupPath.IsEmpty()) {
        CheckProgramPath(IniReading(walk), kStartSection, "SetupPath", setupPath.Get(), "the setup goes on without it",
                         walk.findings);
    }
}

// The step as the plan shows it, with the machine's answer to its check where the machine
// can be asked.
PlannedPrerequisite Planned(const Walk& walk, const char* section, const PrerequisiteStep& step)
{
    PlannedPrerequisite planned;
    planned.section = section;
    planned.execute = step.execute.Get();
    planned.checkKey = step.checkKey.Get();
    planned.checkValue = step.checkValue.Get();
    planned.checkContent = step.checkContent.Get();
    planned.doExecuteIfCheckIs = step.doExecuteIfCheckIs;
    planned.debug = step.debugMode;
    planned.expectedExitCode = step.expectedExitCode;
    if (walk.plan.machineKnown) {
        planned.check = EvaluateRegistryCheck(walk.platform, step) ? MachineCheck::passes : MachineCheck::fails;
    }
    const char* notes[kMostPrerequisiteNotes] = {};
    planned.notes.assign(notes, notes + PrerequisiteNotes(step, notes));
    return planned;
}

// The sections the furthest run read, up to the one that ends the chain or the run.
void CheckPrerequisites(Walk& walk)
{
    std::int64_t number = 0;
    for (; number <= walk.furthest.end.prerequisite; ++number) {
        PrerequisiteStep step;
        if (ReadPrerequisiteStep(walk.platform, walk.iniPath, static_cast<std::int32_t>(number), step) !=
            PrerequisiteReading::kStepRead) {
            break;
        }
        TextBuffer section;
        section.Format("%s%d", kPrerequisiteSectionPrefix, static_cast<int>(number));
        CheckPrerequisiteValues(IniReading(walk), section.Get(), step, walk.findings);
        walk.plan.prerequisites.push_back(Planned(walk, section.Get(), step));
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
