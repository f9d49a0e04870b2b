#pragma once
// The names of the transforms beside the package: the language discovery tests them, the
// installation names them to msiexec.

namespace boot {

constexpr const char* kTransformExtension = ".mst";
constexpr const char* kDocumentationTransformName = "Documentation";
constexpr const char* kDocumentationTransformFile = "Documentation.mst";

}  // namespace boot
