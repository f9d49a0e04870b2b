// bootstrapper-transform: makes a transform from two packages on Linux.
#include "transform/transform_command.h"

int main(int argc, char** argv) { return boot::RunTransformCommand(argc, argv, stdout, stderr); }
