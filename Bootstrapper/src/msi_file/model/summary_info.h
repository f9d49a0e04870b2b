#pragma once
// Summary information: the property set of a package's or a transform's
// "\005SummaryInformation" stream, by property id.

#include <cstdint>
#include <map>
#include <string>

namespace boot::msi {

// Property ids (Windows Installer's "Summary Information Stream Property Set").
constexpr std::uint32_t kPidCodePage = 1;
constexpr std::uint32_t kPidTitle = 2;
constexpr std::uint32_t kPidSubject = 3;
constexpr std::uint32_t kPidAuthor = 4;
constexpr std::uint32_t kPidKeywords = 5;
constexpr std::uint32_t kPidComments = 6;
constexpr std::uint32_t kPidTemplate = 7;
constexpr std::uint32_t kPidLastSavedBy = 8;
constexpr std::uint32_t kPidRevisionNumber = 9;
constexpr std::uint32_t kPidLastPrinted = 11;
constexpr std::uint32_t kPidCreateTime = 12;
constexpr std::uint32_t kPidLastSaveTime = 13;
constexpr std::uint32_t kPidPageCount = 14;
constexpr std::uint32_t kPidWordCount = 15;
constexpr std::uint32_t kPidCharacterCount = 16;
constexpr std::uint32_t kPidCreatingApplication = 18;
constexpr std::uint32_t kPidSecurity = 19;

struct SummaryProperty {
    enum class Kind : std::uint8_t { integer, text, filetime };
    Kind kind = Kind::integer;
    std::int32_t integer = 0;
    std::string text;           // UTF-8
    std::uint64_t filetime = 0; // 100 ns units since 1601
};

struct SummaryInfo {
    std::map<std::uint32_t, SummaryProperty> properties;

    // The text of a string property; empty when it is absent or no string.
    std::string Text(std::uint32_t pid) const;
    // The number of an integer property; `fallback` when it is absent or no number.
    std::int32_t Integer(std::uint32_t pid, std::int32_t fallback = 0) const;
    void SetText(std::uint32_t pid, std::string utf8);
    void SetInteger(std::uint32_t pid, std::int32_t number);
};

}  // namespace boot::msi
