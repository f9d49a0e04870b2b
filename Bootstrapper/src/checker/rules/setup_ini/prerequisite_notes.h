#pragma once
// What a prerequisite's settings do on Windows that they may not seem to: notes in the
// plan, not findings, as the setup does what is written.

#include <cstddef>

#include "prereq/prerequisite_chain.h"

namespace boot {

constexpr std::size_t kMostPrerequisiteNotes = 2;

// The notes that apply to `step`, into `notes`; how many there are.
std::size_t PrerequisiteNotes(const PrerequisiteStep& step, const char* (&notes)[kMostPrerequisiteNotes]);

}  // namespace boot
