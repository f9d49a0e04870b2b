#include "checker/explored_runs/run_explorer.h"

#include <algorithm>
#include <deque>
#include <iterator>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "checker/explored_runs/plan.h"
#include "checker/recorded_run/recording_platform.h"
#include "launcher/run_sequence.h"
#include "launcher/run_state.h"
#include "language/language_state.h"
#include "package/package_info.h"

namespace boot {

namespace {

// A choice point: the way that came to it first, and its event there.
using Reached = std::pair<std::size_t, std::size_t>;
using ReachedPoints = std::unordered_map<std::string, Reached>;

bool JoinsReachedPoint(void* context, const std::string& point, std::size_t& way, std::size_t& event)
{
    const auto& reached = *static_cast<const ReachedPoints*>(context);
    const auto found = reached.find(point);
    if (found == reached.end()) {
        return false;
    }
    way = found->second.first;
    event = found->second.second;
    return true;
}

bool IsExplored(const RecordingPlatform::ChoicePoint& point, RunWays& ways)
{
    if (point.prerequisite < 0) {
        return true;
    }
    if (static_cast<std::size_t>(point.prerequisite) < kExploredPrerequisites) {
        if (static_cast<std::size_t>(point.prerequisite) + 1 > ways.exploredPrerequisites) {
            ways.exploredPrerequisites = static_cast<std::size_t>(point.prerequisite) + 1;
        }
        return true;
    }
    ways.prerequisitesBeyond = true;
    return false;
}

// Where a way ends: at its last box, else where the run was.
void NoteEnd(RunWay& way, std::int32_t exitCode, RunStage reached)
{
    way.exitCode = exitCode;
    way.endStage = RunStage::done;
    for (auto event = way.events.rbegin(); event != way.events.rend(); ++event) {
        if (event->kind == WayEvent::Kind::box) {
            way.endStage = event->stage;
            return;
        }
        if (event->kind == WayEvent::Kind::start) {
            way.endsWithInstaller = event->stage == RunStage::installer;
            break;
        }
    }
    if (!way.endsWithInstaller) {
        way.endStage = reached;
    }
}

// The installed product as the run's Windows Installer answered for it.
void TakeInstalledProduct(const PackageInfo& from, PlannedPackage& to)
{
    to.installedVersion = from.installedVersion.Get();
    to.isInstalled = from.isInstalled;
    to.isNewer = from.isNewer;
}

// The package as the run read it: the program's fixed texts become the plan's own.
PlannedPackage PlannedPackageOf(const PackageInfo& info)
{
    PlannedPackage package;
    package.productCode = info.productCode.Get();
    package.productVersion = info.productVersion.Get();
    package.productLanguage = info.productLanguage;
    TakeInstalledProduct(info, package);
    return package;
}

// The dialog's own texts and its choice are not shown in the plan.
PlannedLanguages PlannedLanguagesOf(const LanguageState& state)
{
    PlannedLanguages languages;
    std::copy(std::begin(state.available), std::end(state.available), std::begin(languages.available));
    languages.hasDocumentationTransform = state.hasDocumentationTransform;
    return languages;
}

// The first run, and each later one that gets further; a run that joins an earlier way
// ends as that way does, unrecorded.
void KeepIfFurthest(std::size_t index, const RunWay& way, const RunState& state, Plan& plan, FurthestRun& furthest)
{
    if (way.joins || (index > 0 && way.endStage <= furthest.endStage)) {
        return;
    }
    furthest.way = index;
    furthest.endStage = way.endStage;
    furthest.exitCode = way.exitCode;
    furthest.end = state.end;
    plan.packagePath = state.packagePath.Get();
    plan.languagesDirectory = state.languagesDirectory.Get();
    plan.package = PlannedPackageOf(state.packageInfo);
    plan.language = PlannedLanguagesOf(state.language);
}

// The installed product as the machine's run found it, in the words of the choice it
// stands for.
const char* InstalledAnswer(const PackageInfo& info)
{
    if (!info.isInstalled) {
        return kNotInstalled;
    }
    return info.isNewer ? kInstalledOlder : kInstalledNotOlder;
}

// One more run, on the machine's own answers (Windows): the way they take among the
// explored ones, and what Windows Installer there says of the product.
void FollowTheMachine(RecordingPlatform& platform, Plan& plan)
{
    platform.BeginMachineRun();
    RunState state(platform);
    RunBootstrapper(platform, state);
    ++plan.ways.runs;
    std::vector<ChoiceAnswer> answers;
    std::transform(platform.MachineAnswers().begin(), platform.MachineAnswers().end(), std::back_inserter(answers),
                   [](const RecordingPlatform::MachineAnswer& answer) {
                       return ChoiceAnswer{answer.point.c_str(), answer.answer.c_str()};
                   });
    plan.machineAskedInstalled = platform.AskedInstalledProduct();
    if (plan.machineAskedInstalled) {
        answers.push_back(ChoiceAnswer{kInstalledProductPoint, InstalledAnswer(state.packageInfo)});
        TakeInstalledProduct(state.packageInfo, plan.package);
    }
    plan.ways.machineWay = WayOfAnswers(plan.ways, answers);
    plan.ways.hasMachineWay = true;
}

}  // namespace

void ExploreRuns(FolderReader& folder, Plan& plan, FurthestRun& furthest)
{
    RunWays& ways = plan.ways;
    ways.Clear();
    ReachedPoints reached;
    RecordingPlatform platform(folder);
    struct Pending {
        std::vector<std::uint8_t> script;
        bool afterFirst;  // it branches from the first run, whose reads it repeats
    };
    std::deque<Pending> pending;
    pending.push_back(Pending{{}, false});
    RecordingPlatform::ProfileLog firstReads;
    while (!pending.empty()) {
        const Pending run = std::move(pending.front());
        pending.pop_front();
        platform.Begin(run.script, JoinsReachedPoint, &reached, run.afterFirst ? &firstReads : nullptr);
        RunState state(platform);
        const std::int32_t exitCode = RunBootstrapper(platform, state);
        ++ways.runs;
        const std::size_t index = ways.ways.size();
        ways.ways.push_back(std::move(platform.Way()));
        ways.ways.back().end = state.end;
        NoteEnd(ways.ways.back(), exitCode, platform.Reached());
        KeepIfFurthest(index, ways.ways.back(), state, plan, furthest);
        if (index == 0) {
            firstReads = platform.TakeProfileLog();
        }
        const auto& points = platform.Points();
        for (std::size_t k = run.script.size(); k < points.size(); ++k) {
            reached.emplace(points[k].point, Reached{index, points[k].event});
            if (!IsExplored(points[k], ways)) {
                continue;
            }
            for (std::uint8_t answer = 1; answer < points[k].answers; ++answer) {
                std::vector<std::uint8_t> next(run.script);
                next.resize(k, 0);
                next.push_back(answer);
                pending.push_back(Pending{std::move(next), index == 0});
            }
        }
    }
    if (plan.machineKnown) {
        FollowTheMachine(platform, plan);
    }
}

}  // namespace boot
