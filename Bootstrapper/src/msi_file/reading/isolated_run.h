#pragma once
// A piece of work done in a child process, so that a fault in it (libmsi reading a
// damaged package past its buffers, or looping over it) ends the child, never the tool.

#include <string>

namespace boot::msi {

enum class IsolatedOutcome {
    succeeded,  // the work ran to its end and said it succeeded
    failed,     // the work ran to its end and said it failed
    crashed,    // the child ended by a signal (a segmentation fault, an abort, ...)
    hung,       // the child was still at it after the time allowed and was ended
    unavailable // no child could be started
};

// Runs `work` in a child process and waits for it at most `seconds`. `what` receives a
// description of a crash or a hang ("a segmentation fault").
IsolatedOutcome RunIsolated(bool (*work)(const std::string& argument), const std::string& argument,
                            unsigned seconds, std::string& what);

// True in the child RunIsolated started: work done there needs no second guard.
bool InIsolatedChild();

}  // namespace boot::msi
