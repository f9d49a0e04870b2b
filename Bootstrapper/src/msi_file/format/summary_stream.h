#pragma once
// The "\005SummaryInformation" stream: one property set (OLE's serialized property set
// format) with the summary information section, as Windows Installer reads it.

#include <string>

#include "msi_file/model/summary_info.h"

namespace boot::msi {

// The stream's bytes. Strings are written in the code page of property 1 (1252 when it is
// absent). False, with the reason, for a property id Windows Installer does not know (10
// and 17 among them: Wine stops reading at the first such id) or a text that code page
// cannot hold.
bool EncodeSummaryStream(const SummaryInfo& summary, std::string& bytes, std::string& error);

// The properties of a stream's bytes. False, with the reason, when they are no summary
// information property set.
bool DecodeSummaryStream(const std::string& bytes, SummaryInfo& summary, std::string& error);

}  // namespace boot::msi
