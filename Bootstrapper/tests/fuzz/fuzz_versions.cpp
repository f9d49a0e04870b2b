// Version texts: the package's and the installed product's, split at the first line feed.
// ParseVersion must leave its text alone and agree with strtok and atoi; the comparison
// must be the lexicographic order of the four signed parts.

#include <cstring>
#include <string>
#include <vector>

#include "fuzz_input.h"
#include "package/version.h"
#include "reference.h"

namespace boot::fuzzing {
namespace {

Parts AsParts(const VersionParts& version)
{
    return Parts{version.part[0], version.part[1], version.part[2], version.part[3]};
}

std::string Show(const Parts& parts)
{
    return std::to_string(parts[0]) + "," + std::to_string(parts[1]) + "," + std::to_string(parts[2]) + "," +
           std::to_string(parts[3]);
}

VersionParts CheckedParse(const std::string& text)
{
    // Exactly as long as the text and its zero, so that reading past the end is caught.
    std::vector<char> buffer(text.begin(), text.end());
    buffer.push_back('\0');
    const std::vector<char> before = buffer;

    VersionParts parts;
    parts.part[0] = parts.part[1] = parts.part[2] = parts.part[3] = 0x5a5a5a5a;  // must be overwritten
    const bool valid = ParseVersion(buffer.data(), parts);

    FUZZ_CHECK(buffer == before, "ParseVersion changed its text");
    const ReferenceVersion expected = ReferenceParseVersion(text);
    FUZZ_CHECK(valid == expected.valid, "result " << valid << " for \"" << text << "\"");
    FUZZ_CHECK(AsParts(parts) == expected.parts,
               "parts " << Show(AsParts(parts)) << ", expected " << Show(expected.parts) << " for \"" << text << "\"");
    return parts;
}

void CheckOrder(const VersionParts& package, const VersionParts& installed)
{
    const bool newer = IsNewerVersion(package, installed);
    const bool older = IsNewerVersion(installed, package);
    FUZZ_CHECK(newer == ReferenceIsNewer(AsParts(package), AsParts(installed)),
               "package " << Show(AsParts(package)) << " against installed " << Show(AsParts(installed)));
    FUZZ_CHECK(!(newer && older), "both newer: " << Show(AsParts(package)) << " / " << Show(AsParts(installed)));
    FUZZ_CHECK(!IsNewerVersion(package, package), "newer than itself: " << Show(AsParts(package)));
}

}  // namespace
}  // namespace boot::fuzzing

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace boot::fuzzing;
    const std::string input(reinterpret_cast<const char*>(data), size);
    const std::size_t lineEnd = input.find('\n');
    const std::string package = UpToZero(input.substr(0, lineEnd));
    const std::string installed = lineEnd == std::string::npos ? std::string() : UpToZero(input.substr(lineEnd + 1));

    const boot::VersionParts packageParts = CheckedParse(package);
    const boot::VersionParts installedParts = CheckedParse(installed);
    CheckOrder(packageParts, installedParts);

    // The raw bytes as eight parts, for orders that version texts rarely spell.
    if (size >= 8 * sizeof(std::int32_t)) {
        boot::VersionParts a;
        boot::VersionParts b;
        std::memcpy(a.part, data, sizeof a.part);
        std::memcpy(b.part, data + sizeof a.part, sizeof b.part);
        CheckOrder(a, b);
    }
    return 0;
}
