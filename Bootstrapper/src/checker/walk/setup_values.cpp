#include <algorithm>
#include <cstdint>
#include <utility>

#include "checker/rules/setup_ini/prerequisite_check.h"
#include "checker/rules/setup_ini/prerequisite_notes.h"
#include "checker/rules/setup_ini/program_path_check.h"
#include "checker/walk/folder_walk.h"
#include "prereq/prerequisite_chain.h"
#include "services/setup_ini.h"

namespace boot::folder_walk {

namespace {

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
    if (ReadSetupValue(walk.platform, walk.iniPath, kStartSection, kSetupPathKey, setupPath) == SetupValue::read &&
        !setupPath.IsEmpty()) {
        CheckProgramPath(IniReading(walk), kStartSection, kSetupPathKey, setupPath.Get(),
                         "the setup goes on without it", walk.findings);
    }
}

// The step a planned section describes, as the program holds one.
void StepOf(const PlannedPrerequisite& planned, PrerequisiteStep& step)
{
    step.execute.Assign(planned.execute.c_str());
    step.checkKey.Assign(planned.checkKey.c_str());
    step.checkValue.Assign(planned.checkValue.c_str());
    step.checkContent.Assign(planned.checkContent.c_str());
    step.doExecuteIfCheckIs = planned.doExecuteIfCheckIs;
    step.debugMode = planned.debug;
    step.expectedExitCode = planned.expectedExitCode;
}

// A section the program read whole and whose program it may run, with the notes on its
// settings and the machine's answer to its check where the machine can be asked.
void PlanPrerequisite(Walk& walk, const PlannedPrerequisite& read)
{
    PrerequisiteStep step;
    StepOf(read, step);
    CheckPrerequisiteValues(IniReading(walk), read.section.c_str(), step, walk.findings);
    PlannedPrerequisite planned = read;
    if (walk.plan.machineKnown) {
        planned.check = EvaluateRegistryCheck(walk.platform, step) ? MachineCheck::passes : MachineCheck::fails;
    }
    const char* notes[kMostPrerequisiteNotes] = {};
    planned.notes.assign(notes, notes + PrerequisiteNotes(step, notes));
    walk.plan.prerequisites.push_back(std::move(planned));
}

// Every section any way read: each that runs or is skipped, and the one that ends the
// chain, whatever the way that reached it.
void CheckPrerequisites(Walk& walk)
{
    for (const PlannedPrerequisite& read : walk.plan.sectionsRead) {
        if (!read.stoppedAt.empty()) {
            continue;  // the run ends there: its end explains it
        }
        if (!read.execute.empty()) {
            PlanPrerequisite(walk, read);
            continue;
        }
        CheckChainEnd(walk.text, read.section.c_str(), walk.findings);
        if (read.number < kLastSectionIndex) {
            CheckUnreachableSections(walk.text, read.number, walk.findings);
        }
    }
}

}  // namespace

void CheckSetupValues(Walk& walk)
{
    CheckPreSetup(walk);
    CheckPrerequisites(walk);
}

}  // namespace boot::folder_walk
