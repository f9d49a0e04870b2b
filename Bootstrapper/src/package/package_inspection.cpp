#include "package/package_inspection.h"

#include "common/text_rules.h"
#include "package/version.h"
#include "services/error_box.h"
#include "services/messages.h"

namespace boot {

namespace {

// MSIDBOPEN_READONLY is the null persist argument: the package is never written, and it
// stays open read-only while msiexec runs.
constexpr const char* kOpenReadOnly = nullptr;
constexpr MsiHandle kNoParameters = 0;
constexpr std::uint32_t kNameField = 1;
constexpr std::uint32_t kValueField = 2;

StepResult FailInspection(Platform& platform, PackageHandles& handles, const char* message, std::int32_t exitCode)
{
    ShowErrorAndEnd(platform, message, exitCode);
    ReleasePackageHandles(handles);
    return StepResult::EndWith(exitCode);
}

// Windows Installer's results are handed on unchanged as the process exit code.
std::int32_t AsExitCode(std::uint32_t result) { return static_cast<std::int32_t>(result); }

// False when the field did not fit (or could not be read): a cut property name could
// pass for another one, and a cut value is not the package's value, so neither is used.
bool ReadRecordField(Platform& platform, MsiHandle record, std::uint32_t field, TextBuffer& text)
{
    std::uint32_t length = static_cast<std::uint32_t>(text.Capacity());
    if (platform.MsiRecordGetStringA(record, field, text.Data(), &length) != kErrorSuccess) {
        text.Clear();
        return false;
    }
    text.TerminateAtEnd();
    return true;
}

// Only the exact names count: a name differing in case or going on after one is another
// property. A name in several rows: the last row wins.
void TakeProperty(const TextBuffer& name, const TextBuffer& value, PackageInfo& info)
{
    if (TextEquals(name.Get(), "ProductCode")) {
        info.productCode.Assign(value.Get());
    } else if (TextEquals(name.Get(), "ProductVersion")) {
        info.productVersion.Assign(value.Get());
    } else if (TextEquals(name.Get(), "ProductLanguage")) {
        info.productLanguage = ParseDecimal(value.Get());
    }
}

// Reads every row of the Property table. The first fetch that does not hand back a row
// ends the scan, whatever its reason; the record holder is then empty.
void ScanProperties(Platform& platform, PackageHandles& handles, PackageInfo& info)
{
    TextBuffer name;
    TextBuffer value;
    while (platform.MsiViewFetch(handles.view.Get(), handles.record.ResetForOutput()) == kErrorSuccess) {
        if (!ReadRecordField(platform, handles.record.Get(), kNameField, name) ||
            !ReadRecordField(platform, handles.record.Get(), kValueField, value)) {
            continue;
        }
        TakeProperty(name, value, info);
    }
}

// 0 with the version, 1605 (not installed) with an empty text, or the failing result.
std::uint32_t QueryInstalledVersion(Platform& platform, PackageInfo& info)
{
    std::uint32_t length = static_cast<std::uint32_t>(info.installedVersion.Capacity());
    const std::uint32_t result = platform.MsiGetProductInfoA(info.productCode.Get(), kVersionStringProperty,
                                                             info.installedVersion.Data(), &length);
    if (result == kErrorSuccess) {
        info.installedVersion.TerminateAtEnd();
    } else {
        info.installedVersion.Clear();
    }
    return result;
}

bool IsAcceptedProductInfoResult(std::uint32_t result)
{
    return result == kErrorSuccess || result == kErrorUnknownProduct;
}

}  // namespace

StepResult InspectPackage(Platform& platform, const TextBuffer& packagePath, PackageInfo& info,
                          PackageHandles& handles, RunEnd& end)
{
    // Each check notes what its failure would mean before it is made: one store each.
    end.cause = EndCause::packageUnopened;
    const std::uint32_t opened =
        platform.MsiOpenDatabaseA(packagePath.Get(), kOpenReadOnly, handles.database.ResetForOutput());
    if (opened != kErrorSuccess) {
        return FailInspection(platform, handles, kMessageOpenDatabase, AsExitCode(opened));
    }
    end.cause = EndCause::packageUnreadable;
    const std::uint32_t viewOpened =
        platform.MsiDatabaseOpenViewA(handles.database.Get(), kPropertyQuery, handles.view.ResetForOutput());
    if (viewOpened != kErrorSuccess) {
        return FailInspection(platform, handles, kMessageOpenView, AsExitCode(viewOpened));
    }
    const std::uint32_t executed = platform.MsiViewExecute(handles.view.Get(), kNoParameters);
    if (executed != kErrorSuccess) {
        return FailInspection(platform, handles, kMessageExecuteView, AsExitCode(executed));
    }

    ScanProperties(platform, handles, info);

    end.cause = EndCause::productLookup;
    const std::uint32_t queried = QueryInstalledVersion(platform, info);
    if (!IsAcceptedProductInfoResult(queried)) {
        return FailInspection(platform, handles, kMessageInstalledVersion, AsExitCode(queried));
    }
    end.cause = EndCause::productVersion;
    if (!ParseVersion(info.productVersion.Get(), info.productVersionParts)) {
        return FailInspection(platform, handles, kMessageProductVersion, kExitFailure);
    }
    // An installed version of fewer than three components counts as not installed.
    info.isInstalled = ParseVersion(info.installedVersion.Get(), info.installedVersionParts);
    info.isNewer = info.isInstalled && IsNewerVersion(info.productVersionParts, info.installedVersionParts);
    return StepResult::Continue();
}

}  // namespace boot
