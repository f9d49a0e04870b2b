#include "checker/recorded_run/run_ways.h"

#include <algorithm>
#include <cstring>
#include <string_view>
#include <unordered_map>

namespace boot {

WholeWay FollowWay(const RunWays& ways, std::size_t index)
{
    WholeWay whole;
    std::size_t from = 0;
    // Each way joins one found before it, so this ends.
    for (;;) {
        const RunWay& way = ways.ways[index];
        for (std::size_t i = from; i < way.events.size(); ++i) {
            whole.events.push_back(&way.events[i]);
        }
        if (!way.joins || way.joinedWay >= index) {
            whole.end = &way;
            return whole;
        }
        from = way.joinedEvent;
        index = way.joinedWay;
    }
}

namespace {

// The answers by point, the first for a point named twice: a way's every choice looks its
// point up, and the machine's run names one for each prerequisite's check.
using AnswersByPoint = std::unordered_map<std::string_view, const char*>;

AnswersByPoint IndexAnswers(const std::vector<ChoiceAnswer>& answers)
{
    AnswersByPoint index;
    index.reserve(answers.size());
    for (const ChoiceAnswer& answer : answers) {
        index.emplace(answer.point, answer.answer);
    }
    return index;
}

const char* WantedAnswer(const AnswersByPoint& answers, const std::string& point)
{
    const auto found = answers.find(point);
    return found != answers.end() ? found->second : nullptr;
}

// The way that leaves another at `point` with `answer`; false when there is none.
bool BranchWith(const RunWays& ways, const std::string& point, const char* answer, std::size_t& index)
{
    for (std::size_t k = 0; k < ways.ways.size(); ++k) {
        const RunWay& way = ways.ways[k];
        if (way.branches && way.events[way.branchEvent].point == point &&
            std::strcmp(way.events[way.branchEvent].text.c_str(), answer) == 0) {
            index = k;
            return true;
        }
    }
    return false;
}

}  // namespace

std::size_t WayOfAnswers(const RunWays& ways, const std::vector<ChoiceAnswer>& answers)
{
    const AnswersByPoint wanted = IndexAnswers(answers);
    std::size_t index = 0;
    std::size_t from = 0;
    // Each step goes on from a later event of the run, so this ends; the count only guards.
    for (std::size_t steps = 0; !ways.ways.empty() && steps <= ways.ways.size() * 2; ++steps) {
        const RunWay& way = ways.ways[index];
        bool branched = false;
        for (std::size_t i = from; i < way.events.size() && !branched; ++i) {
            const WayEvent& event = way.events[i];
            const char* answer = event.kind == WayEvent::Kind::choice ? WantedAnswer(wanted, event.point) : nullptr;
            if (answer == nullptr || event.text == answer) {
                continue;
            }
            std::size_t next = 0;
            if (!BranchWith(ways, event.point, answer, next)) {
                return index;
            }
            index = next;
            from = ways.ways[next].branchEvent + 1;
            branched = true;
        }
        if (branched) {
            continue;
        }
        if (!way.joins) {
            return index;
        }
        index = way.joinedWay;
        from = way.joinedEvent;
    }
    return index;
}

std::vector<std::string> BoxLines(const std::string& text)
{
    std::vector<std::string> lines(1);
    for (const char* p = text.c_str(); *p != '\0'; ++p) {
        if (*p != '\r' && *p != '\n') {
            lines.back().push_back(*p);
            continue;
        }
        if ((p[1] == '\r' || p[1] == '\n') && p[1] != *p) {
            ++p;
        }
        lines.emplace_back();
    }
    return lines;
}

const WayEvent* LastBox(const RunWay& way)
{
    const auto last = std::find_if(way.events.rbegin(), way.events.rend(),
                                   [](const WayEvent& event) { return event.kind == WayEvent::Kind::box; });
    return last == way.events.rend() ? nullptr : &*last;
}

const WayEvent* LastBox(const WholeWay& whole)
{
    const auto last = std::find_if(whole.events.rbegin(), whole.events.rend(),
                                   [](const WayEvent* event) { return event->kind == WayEvent::Kind::box; });
    return last == whole.events.rend() ? nullptr : *last;
}

}  // namespace boot
