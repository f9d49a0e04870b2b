#include "checker/reading/transform_revision.h"

namespace boot {

namespace {

// "{code}version": the code up to its closing brace, the version after it.
void SplitCodeAndVersion(const std::string& part, std::string& code, std::string& version)
{
    const std::size_t close = part.find('}');
    code = close == std::string::npos ? part : part.substr(0, close + 1);
    version = close == std::string::npos ? std::string() : part.substr(close + 1);
}

}  // namespace

std::string SemicolonPart(const std::string& text, std::size_t index)
{
    std::size_t begin = 0;
    for (std::size_t i = 0; i < index; ++i) {
        begin = text.find(';', begin);
        if (begin == std::string::npos) {
            return std::string();
        }
        ++begin;
    }
    const std::size_t end = text.find(';', begin);
    return text.substr(begin, end == std::string::npos ? std::string::npos : end - begin);
}

TransformRevision ParseTransformRevision(const std::string& text)
{
    TransformRevision revision;
    SplitCodeAndVersion(SemicolonPart(text, 0), revision.baseProductCode, revision.baseVersion);
    SplitCodeAndVersion(SemicolonPart(text, 1), revision.targetProductCode, revision.targetVersion);
    revision.upgradeCode = SemicolonPart(text, 2);
    return revision;
}

}  // namespace boot
