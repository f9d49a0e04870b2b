#pragma once
// bootstrapper-transform: its command line, its messages and its exit status.

#include <cstdio>

namespace boot {

constexpr int kTransformWritten = 0;
constexpr int kTransformInexpressible = 1;  // no transform turns the base into the target
constexpr int kTransformUnusable = 2;       // wrong arguments, an unreadable package, no output

int RunTransformCommand(int argc, const char* const* argv, std::FILE* out, std::FILE* errors);

}  // namespace boot
