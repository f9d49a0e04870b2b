#include "msi_file/model/summary_info.h"

#include <utility>

namespace boot::msi {

std::string SummaryInfo::Text(std::uint32_t pid) const
{
    const auto found = properties.find(pid);
    return found != properties.end() && found->second.kind == SummaryProperty::Kind::text ? found->second.text
                                                                                           : std::string();
}

std::int32_t SummaryInfo::Integer(std::uint32_t pid, std::int32_t fallback) const
{
    const auto found = properties.find(pid);
    return found != properties.end() && found->second.kind == SummaryProperty::Kind::integer ? found->second.integer
                                                                                              : fallback;
}

void SummaryInfo::SetText(std::uint32_t pid, std::string utf8)
{
    SummaryProperty& property = properties[pid];
    property = SummaryProperty{};
    property.kind = SummaryProperty::Kind::text;
    property.text = std::move(utf8);
}

void SummaryInfo::SetInteger(std::uint32_t pid, std::int32_t number)
{
    SummaryProperty& property = properties[pid];
    property = SummaryProperty{};
    property.integer = number;
}

}  // namespace boot::msi
