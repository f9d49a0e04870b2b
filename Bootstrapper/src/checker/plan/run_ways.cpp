#include "checker/plan/run_ways.h"

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

const RunWay* FindWay(const RunWays& ways, const std::vector<ChoiceAnswer>& answers, WholeWay& whole)
{
    for (std::size_t i = 0; i < ways.ways.size(); ++i) {
        whole = FollowWay(ways, i);
        bool matches = true;
        for (const ChoiceAnswer& wanted : answers) {
            bool found = false;
            for (const WayEvent* event : whole.events) {
                found = found || (event->kind == WayEvent::Kind::choice && event->point == wanted.point &&
                                  event->text == wanted.answer);
            }
            matches = matches && found;
        }
        if (matches) {
            return &ways.ways[i];
        }
    }
    whole = WholeWay();
    return nullptr;
}

}  // namespace boot
