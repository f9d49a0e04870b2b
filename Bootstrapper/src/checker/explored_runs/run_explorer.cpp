#include "checker/explored_runs/run_explorer.h"

#include <algorithm>
#include <deque>
#include <iterator>
#include <map>
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
#include "prereq/prerequisite_chain.h"

namespace boot {

namespace {

constexpr char kSeparator = '\x1f';

// A choice point: the way that came to it first, and its event there.
using Reached = std::pair<std::size_t, std::size_t>;

void Add(std::string& digest, const char* text)
{
    digest += text;
    digest += kSeparator;
}

void Add(std::string& digest, std::int64_t number)
{
    digest += std::to_string(number);
    digest += kSeparator;
}

// What of the program's state decides how a run goes on from a choice point: two runs at
// the same point with the same digest (and the same answers at the readings whose result
// is not known) go on alike.
std::string StateDigest(const RunState& state)
{
    std::string digest;
    Add(digest, static_cast<std::int64_t>(state.end.stage));
    Add(digest, static_cast<std::int64_t>(state.end.cause));
    Add(digest, state.end.prerequisite);
    const PrerequisiteStep& step = state.prerequisite;
    Add(digest, step.execute.Get());
    Add(digest, (step.doExecuteIfCheckIs ? 1 : 0) + (step.debugMode ? 2 : 0));
    Add(digest, step.expectedExitCode);
    Add(digest, step.checkKey.Get());
    Add(digest, step.checkValue.Get());
    Add(digest, step.checkContent.Get());
    Add(digest, state.packagePath.Get());
    Add(digest, state.languagesDirectory.Get());
    const PackageInfo& package = state.packageInfo;
    Add(digest, package.productCode.Get());
    Add(digest, package.productVersion.Get());
    Add(digest, package.productLanguage);
    Add(digest, package.installedVersion.Get());
    Add(digest, (package.isInstalled ? 1 : 0) + (package.isNewer ? 2 : 0));
    for (const bool available : state.language.available) {
        digest += available ? '1' : '0';
    }
    Add(digest, (state.language.hasDocumentationTransform ? 1 : 0));
    Add(digest, state.language.selectedLanguage);
    return digest;
}

// A prerequisite section as the program read it.
PlannedPrerequisite SectionAsRead(std::int32_t number, const PrerequisiteStep& step)
{
    PlannedPrerequisite section;
    section.number = number;
    section.section = kPrerequisiteSectionPrefix + std::to_string(number);
    section.execute = step.execute.Get();
    section.checkKey = step.checkKey.Get();
    section.checkValue = step.checkValue.Get();
    section.checkContent = step.checkContent.Get();
    section.doExecuteIfCheckIs = step.doExecuteIfCheckIs;
    section.debug = step.debugMode;
    section.expectedExitCode = step.expectedExitCode;
    return section;
}

bool StoppedReading(const RunEnd& end)
{
    return end.stage == RunStage::prerequisites &&
           (end.cause == EndCause::valueTooLong || end.cause == EndCause::unusableCharacters);
}

// Watches each run for the explorer: which sections it read, and whether it comes to a
// choice point an earlier way came to in the same state.
// NOLINTNEXTLINE(cppcoreguidelines-virtual-class-destructor)
class Explorer final : public RunWatcher {
public:
    explicit Explorer(const RecordingPlatform& platform) : platform_(platform) {}

    void BeginRun(const RunState& state)
    {
        state_ = &state;
        section_ = -1;
        keys_.clear();
    }

    // The program keeps the section before as read until the next one's Execute is read.
    void BeforeSetupRead() override
    {
        const std::int32_t section = state_->end.prerequisite;
        if (section != section_) {
            DescribeSection();
            section_ = section;
        }
    }

    void EndRun() { DescribeSection(); }

    bool Joins(const std::string& point, std::size_t& way, std::size_t& event) override
    {
        std::string key = point;
        key += kSeparator;
        key += platform_.ReadingAnswers();
        key += kSeparator;
        key += StateDigest(*state_);
        const auto found = reached_.find(key);
        if (found != reached_.end()) {
            way = found->second.first;
            event = found->second.second;
            return true;
        }
        keys_.push_back(std::move(key));
        return false;
    }

    // The points this run came to first, from the first it was not scripted for.
    void NoteReached(std::size_t way, const std::vector<RecordingPlatform::ChoicePoint>& points, std::size_t first)
    {
        for (std::size_t k = first; k < points.size() && k - first < keys_.size(); ++k) {
            reached_.emplace(std::move(keys_[k - first]), Reached{way, points[k].event});
        }
    }

    std::vector<PlannedPrerequisite> TakeSections()
    {
        std::vector<PlannedPrerequisite> sections;
        sections.reserve(sections_.size());
        std::transform(sections_.begin(), sections_.end(), std::back_inserter(sections),
                       [](auto& entry) { return std::move(entry.second); });
        return sections;
    }

private:
    // The first way to read a section describes it; one whose reading stopped at a key
    // says which.
    void DescribeSection()
    {
        if (section_ < 0 || sections_.count(section_) != 0) {
            return;
        }
        PlannedPrerequisite section = SectionAsRead(section_, state_->prerequisite);
        const RunEnd& end = state_->end;
        if (StoppedReading(end) && end.prerequisite == section_ && end.key != nullptr) {
            section.stoppedAt = end.key;
        }
        sections_.emplace(section_, std::move(section));
    }

    const RecordingPlatform& platform_;
    const RunState* state_ = nullptr;
    std::int32_t section_ = -1;
    std::vector<std::string> keys_;
    std::unordered_map<std::string, Reached> reached_;
    std::map<std::int32_t, PlannedPrerequisite> sections_;
};

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

// Where a way ends, as the program noted it: the stage it ended at, or done once msiexec
// ran to its exit code.
void NoteEnd(RunWay& way, std::int32_t exitCode, const RunEnd& end)
{
    way.end = end;
    way.exitCode = exitCode;
    way.endsWithInstaller = end.cause == EndCause::installerExitCode;
    way.endStage = way.endsWithInstaller ? RunStage::done : end.stage;
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
    RunState state(platform);
    platform.BeginMachineRun(state);
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

// The dialog's own texts and its choice are not shown in the plan.
PlannedLanguages PlannedLanguagesOf(const LanguageState& state)
{
    PlannedLanguages languages;
    std::copy(std::begin(state.available), std::end(state.available), std::begin(languages.available));
    languages.hasDocumentationTransform = state.hasDocumentationTransform;
    for (std::size_t i = 0; i < std::size(state.testedTransforms); ++i) {
        languages.tested[i] = state.testedTransforms[i].Get();
    }
    return languages;
}

void ExploreRuns(FolderReader& folder, Plan& plan, FurthestRun& furthest)
{
    RunWays& ways = plan.ways;
    ways.Clear();
    RecordingPlatform platform(folder);
    Explorer explorer(platform);
    struct Pending {
        std::vector<std::uint8_t> script;
        std::size_t from;  // the way it branches from: from the first, it repeats its reads
    };
    std::deque<Pending> pending;
    pending.push_back(Pending{{}, 0});
    RecordingPlatform::ProfileLog firstReads;
    while (!pending.empty()) {
        const Pending run = std::move(pending.front());
        pending.pop_front();
        RunState state(platform);
        const bool afterFirst = !run.script.empty() && run.from == 0;
        platform.Begin(state, run.script, &explorer, afterFirst ? &firstReads : nullptr);
        explorer.BeginRun(state);
        const std::int32_t exitCode = RunBootstrapper(platform, state);
        explorer.EndRun();
        ++ways.runs;
        const std::size_t index = ways.ways.size();
        ways.ways.push_back(std::move(platform.Way()));
        ways.ways.back().branchesFrom = run.from;
        NoteEnd(ways.ways.back(), exitCode, state.end);
        KeepIfFurthest(index, ways.ways.back(), state, plan, furthest);
        if (index == 0) {
            firstReads = platform.TakeProfileLog();
        }
        const auto& points = platform.Points();
        explorer.NoteReached(index, points, run.script.size());
        for (std::size_t k = run.script.size(); k < points.size(); ++k) {
            if (!IsExplored(points[k], ways)) {
                continue;
            }
            for (std::uint8_t answer = 1; answer < points[k].answers; ++answer) {
                std::vector<std::uint8_t> next(run.script);
                next.resize(k, 0);
                next.push_back(answer);
                pending.push_back(Pending{std::move(next), index});
            }
        }
    }
    plan.sectionsRead = explorer.TakeSections();
    if (plan.machineKnown) {
        FollowTheMachine(platform, plan);
    }
}

}  // namespace boot
