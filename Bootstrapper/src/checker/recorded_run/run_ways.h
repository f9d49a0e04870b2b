#pragma once
// The ways a run of Bootstrapper.exe can go in a folder, as the program's own sequence went
// them. What the folder cannot tell (a prerequisite's registry check, its exit code, the
// installed product, the language chosen or Cancel) is a choice point; the sequence is run
// once per answer that leads somewhere else. A way that comes to a choice point another way
// came to joins it there: from there on the run depends only on the folder.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "services/run_end.h"

namespace boot {

// The prerequisites whose every answer is explored; beyond them only the answers with
// which the run goes on are followed, so that a long chain costs runs in proportion.
constexpr std::size_t kExploredPrerequisites = 100;

// `reading`: a Setup.ini line whose reading on Windows is not known.
enum class ChoiceKind : std::uint8_t { check, exitCode, installed, language, reading };

struct WayEvent {
    enum class Kind : std::uint8_t { choice, start, box } kind = Kind::start;
    std::string text;         // choice: the answer in words; start: the command line; box: its text
    std::string application;  // start: the application name, empty when none was given
    std::string point;        // choice: which choice point ("Prereq0 check", "installed product")
    ChoiceKind choiceKind = ChoiceKind::check;
    std::uint8_t answer = 0;           // choice: the answer's number; 0 the one with which the run goes on
    RunStage stage = RunStage::start;  // where the run was when it happened
};

struct RunWay {
    std::vector<WayEvent> events;   // in run order, the choices among them
    std::size_t branchEvent = 0;    // the choice that makes this way (0 and no choice: the first way)
    bool branches = false;          // false for the first way, which takes the first answer everywhere
    std::size_t branchesFrom = 0;   // the way it goes as until its own choice
    bool joins = false;             // it came to a choice point an earlier way came to
    std::size_t joinedWay = 0;      // that way
    std::size_t joinedEvent = 0;    // and the choice there
    std::int32_t exitCode = 0;      // unless it joins
    bool endsWithInstaller = false; // the exit code is msiexec's
    // The exit code is a prerequisite's own: any other than the one its section expects,
    // or any at all in DEBUG mode, where the box shows it too. `exitCode` is then only
    // the one the run was given.
    bool endsWithPrerequisiteExitCode = false;
    RunStage endStage = RunStage::done;
    RunEnd end;  // the program's own record of why it ended (unless the way joins)
};

struct RunWays {
    std::vector<RunWay> ways;  // the first: every answer the one with which the run goes on
    std::size_t runs = 0;      // runs of the program's sequence
    // Prerequisites beyond this number: only the answers with which the run goes on are
    // followed (their other answers end the run or rejoin it in the same way).
    std::size_t exploredPrerequisites = 0;
    bool prerequisitesBeyond = false;
    // Where the machine the check runs on is known (Windows): the way its registry and its
    // installed products take.
    bool hasMachineWay = false;
    std::size_t machineWay = 0;

    void Clear()
    {
        ways.clear();
        runs = 0;
        exploredPrerequisites = 0;
        prerequisitesBeyond = false;
        hasMachineWay = false;
        machineWay = 0;
    }
};

// One way from its start to its end with the ways it joins followed: every event, and
// the way whose end it ends with.
struct WholeWay {
    std::vector<const WayEvent*> events;
    const RunWay* end = nullptr;
};
WholeWay FollowWay(const RunWays& ways, std::size_t index);

// The last box a way shows of its own, or that a whole way shows; null for none.
const WayEvent* LastBox(const RunWay& way);
const WayEvent* LastBox(const WholeWay& whole);

// A box's text in the lines the box shows: a line break is CR, LF, or the two in either
// order.
std::vector<std::string> BoxLines(const std::string& text);

// A choice point and the answer wanted there.
struct ChoiceAnswer {
    const char* point;
    const char* answer;
};

// The way, as an index into `ways.ways`, that a run takes which answers each point named
// in `answers` as given (a point it never comes to is passed over) and every other point
// as the way it is on does: from the first way, into the way that branches with the given
// answer, through the ways it joins. Where no way branches with an answer (a point that
// is not explored), the way it is on.
std::size_t WayOfAnswers(const RunWays& ways, const std::vector<ChoiceAnswer>& answers);

}  // namespace boot
