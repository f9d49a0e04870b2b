#include "checker/plan_views/plan_diagram.h"

#include <vector>

#include "checker/output/escaped_output.h"
#include "checker/output/gathered_output.h"
#include "checker/reading/unicode_text.h"

namespace boot {

namespace {

// A label that Mermaid would not take empty.
constexpr const char* kEmptyLabel = "(empty)";

// `utf8` cut after kMostLabelCharacters characters, with "..." where it was cut.
std::string Shortened(const std::string& utf8)
{
    std::size_t position = 0;
    for (std::size_t count = 0; count < kMostLabelCharacters && position < utf8.size(); ++count) {
        DecodeUtf8(utf8.c_str(), position);
    }
    return position < utf8.size() ? utf8.substr(0, position) + "..." : utf8;
}

// Where a way's drawing stands: the node it came to, and the choice it answered there
// (null when the node is no decision).
struct Reached {
    std::size_t node = 0;  // 0: none yet
    const WayEvent* choice = nullptr;
};

class Drawing {
public:
    Drawing(const ReportSettings& settings, PlanDiagram& diagram, TextOutput& output)
        : settings_(settings), diagram_(diagram), out_(output)
    {
    }

    void Put(const char* text) { out_.Put(text); }

    std::size_t EventNode(const WayEvent& event)
    {
        switch (event.kind) {
        case WayEvent::Kind::choice:
            ++diagram_.choicePoints;
            return Node("{\"", event.point, "\"}", false);
        case WayEvent::Kind::start:
            ++diagram_.starts;
            return Node("[\"", event.text, "\"]", false);
        case WayEvent::Kind::box:
            ++diagram_.boxes;
            return Node("(\"", event.text, "\")", true);
        }
        return 0;
    }

    // msiexec's or a prerequisite's own exit code is not the checker's to tell.
    std::size_t EndNode(const RunWay& way)
    {
        ++diagram_.ends;
        std::string words = "ends with exit code " + std::to_string(way.exitCode);
        if (way.endsWithInstaller) {
            words = "ends with msiexec's exit code";
        } else if (way.endsWithPrerequisiteExitCode) {
            words = "ends with the prerequisite's exit code";
        }
        return Node("([\"", words, "\"])", false, false);
    }

    // From where the way stands to `node`, labelled with the answer given there.
    void Edge(const Reached& from, std::size_t node)
    {
        if (from.node == 0) {
            return;
        }
        ++diagram_.edges;
        out_.Put(("    n" + std::to_string(from.node) + " -->").c_str());
        if (from.choice != nullptr && !from.choice->text.empty()) {
            out_.Put("|\"");
            PutMermaidText(out_, Shortened(ToUtf8(settings_, from.choice->text)).c_str());
            out_.Put("\"|");
        }
        out_.Put((" n" + std::to_string(node) + "\n").c_str());
    }

private:
    // `text` in the ANSI code page, or the checker's own words (`fromFolder` false);
    // `lines`: its line breaks are the box's.
    std::size_t Node(const char* open, const std::string& text, const char* close, bool lines,
                     bool fromFolder = true)
    {
        const std::size_t id = ++nodes_;
        out_.Put(("    n" + std::to_string(id)).c_str());
        out_.Put(open);
        const std::string utf8 = Shortened(fromFolder ? ToUtf8(settings_, text) : text);
        if (utf8.empty()) {
            out_.Put(kEmptyLabel);
        } else if (!lines) {
            PutMermaidText(out_, utf8.c_str());
        } else {
            const std::vector<std::string> shown = BoxLines(utf8);
            for (std::size_t i = 0; i < shown.size(); ++i) {
                out_.Put(i == 0 ? "" : "<br>");
                PutMermaidText(out_, shown[i].c_str());
            }
        }
        out_.Put(close);
        out_.Put("\n");
        return id;
    }

    const ReportSettings& settings_;
    PlanDiagram& diagram_;
    OutputBuffer out_;
    std::size_t nodes_ = 0;
};

// `nodes` holds, for each way drawn before this one, the node of each of its events.
void DrawWay(Drawing& drawing, const RunWays& ways, std::size_t index, std::vector<std::vector<std::size_t>>& nodes)
{
    const RunWay& way = ways.ways[index];
    std::vector<std::size_t>& own = nodes[index];
    Reached reached;
    std::size_t first = 0;
    // Until its choice it is the way it goes as, whose decision there it leaves by its own answer.
    if (way.branches && way.branchesFrom < index && way.branchEvent < nodes[way.branchesFrom].size()) {
        const std::vector<std::size_t>& shared = nodes[way.branchesFrom];
        own.assign(shared.begin(), shared.begin() + static_cast<std::ptrdiff_t>(way.branchEvent) + 1);
        reached = Reached{own.back(), &way.events[way.branchEvent]};
        first = way.branchEvent + 1;
    }
    for (std::size_t i = first; i < way.events.size(); ++i) {
        const WayEvent& event = way.events[i];
        const std::size_t node = drawing.EventNode(event);
        drawing.Edge(reached, node);
        own.push_back(node);
        reached = Reached{node, event.kind == WayEvent::Kind::choice ? &event : nullptr};
    }
    if (way.joins && way.joinedWay < index && way.joinedEvent < nodes[way.joinedWay].size()) {
        drawing.Edge(reached, nodes[way.joinedWay][way.joinedEvent]);
        return;
    }
    drawing.Edge(reached, drawing.EndNode(way));
}

}  // namespace

PlanDiagram DrawPlan(const Plan& plan, const ReportSettings& settings)
{
    PlanDiagram diagram;
    GatheredOutput gathered;
    {
        Drawing drawing(settings, diagram, gathered);
        drawing.Put("flowchart TD\n");
        std::vector<std::vector<std::size_t>> nodes(plan.ways.ways.size());
        for (std::size_t i = 0; i < plan.ways.ways.size(); ++i) {
            DrawWay(drawing, plan.ways, i, nodes);
        }
    }
    diagram.text = gathered.Text();
    return diagram;
}

}  // namespace boot
