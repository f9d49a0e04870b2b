#pragma once
// The plan's ways as one Mermaid flowchart, which GitHub draws from a ```mermaid block:
// - each choice point a way comes to a decision, n1{"Prereq0 check"}, with an edge for
//   each answer a way takes there, labelled with the answer: n1 -->|"fails"| n2;
// - each program started a node with its command line, n2["Runtime\Setup.exe /q"];
// - each box a rounded node with its text, its lines as the box shows them;
// - each end a stadium, n4(["ends with exit code 0"]) (or msiexec's, or the
//   prerequisite's exit code).
// A way goes on from the node where it leaves the way it goes as until then, and one that
// joins an earlier way ends in an edge into that way's decision where it joins: what two
// ways share is drawn once.
//
// Node ids are the checker's own (n1, n2, ...). Every label is quoted and written with
// PutMermaidText, so that no name or value from the folder can end it, start another
// statement or become HTML; a label longer than kMostLabelCharacters characters is cut
// there and ends with "..." (the plan in words gives it whole).

#include <cstddef>
#include <string>

#include "checker/explored_runs/plan.h"
#include "checker/output/report_context.h"

namespace boot {

constexpr std::size_t kMostLabelCharacters = 160;

// Mermaid's own limits (its maxTextSize and maxEdges): beyond them it draws an error
// instead of the diagram.
constexpr std::size_t kMostMermaidText = 50000;
constexpr std::size_t kMostMermaidEdges = 500;

struct PlanDiagram {
    std::string text;  // UTF-8 (ASCII in fact): "flowchart TD\n" and a line for each node and edge
    // One node for each event a way has of its own (after the choice where it branches;
    // the JSON report's `events` of each way), and one for each way that ends rather than
    // joins.
    std::size_t choicePoints = 0;
    std::size_t starts = 0;
    std::size_t boxes = 0;
    std::size_t ends = 0;
    std::size_t edges = 0;

    std::size_t Nodes() const { return choicePoints + starts + boxes + ends; }
    bool FitsMermaid() const { return text.size() <= kMostMermaidText && edges <= kMostMermaidEdges; }
};

PlanDiagram DrawPlan(const Plan& plan, const ReportSettings& settings);

}  // namespace boot
