// Windows Installer in the Linux folder reader: packages and transforms are read with the
// build's one reader of Windows Installer files (msi_file, over libmsi and libgsf), and
// the handles the program sees are numbers for what it read.
#include "checker/folder_readers/linux_folder_reader.h"

#include <algorithm>
#include <iterator>

#include "checker/folder_readers/linux_folder_reader_parts.h"
#include "checker/reading/guid_text.h"
#include "checker/reading/unicode_text.h"
#include "common/text_rules.h"
#include "msi_file/reading/transform_reader.h"

namespace boot {

using namespace linux_folder_reader_parts;

namespace {

constexpr std::uint32_t kErrorNotEnoughMemory = 8;
constexpr std::uint32_t kErrorOpenFailed = 110;
constexpr std::uint32_t kErrorFunctionFailed = 1627;

// A record field as Windows Installer hands it over as text: a number in decimal, null as
// the empty text.
std::string FieldText(const msi::Row& row, std::uint32_t field)
{
    if (field == 0 || field > row.size()) {
        return std::string();
    }
    const msi::Value& value = row[field - 1];
    switch (value.kind) {
    case msi::Value::Kind::integer:
        return std::to_string(value.integer);
    case msi::Value::Kind::text:
        return AnsiFromUtf8(value.text);
    case msi::Value::Kind::null:
    case msi::Value::Kind::binary:
        break;
    }
    return std::string();
}

// The package's ProductCode, UpgradeCode and ProductVersion (kIdentityProperties' order)
// as the ANSI calls hand them over; none where it has no such row.
std::array<std::optional<std::string>, 3> ReadIdentity(const msi::Package& package)
{
    std::array<std::optional<std::string>, 3> identity;
    std::vector<msi::Row> rows;
    std::string error;
    if (!package.Select("SELECT `Property`,`Value` FROM `Property`", rows, error)) {
        return identity;
    }
    for (const msi::Row& row : rows) {
        const std::string name = FieldText(row, 1);
        for (std::size_t i = 0; i < identity.size(); ++i) {
            if (name == kIdentityProperties[i] && !identity[i]) {
                identity[i] = FieldText(row, 2);
            }
        }
    }
    return identity;
}

const char* DescribeNoTransform(msi::TransformFileKind kind)
{
    switch (kind) {
    case msi::TransformFileKind::otherClass:
        return "a Windows Installer file of another kind (a package or a patch), not a transform";
    case msi::TransformFileKind::notCompound:
    case msi::TransformFileKind::transform:
    case msi::TransformFileKind::missing:
    case msi::TransformFileKind::folder:
        break;
    }
    return "no transform storage (a text, an empty or a damaged file)";
}

}  // namespace

bool LinuxFolderReader::LinuxPathOf(const char* windowsPath, std::string& linuxPath)
{
    char utf8[kPathCapacity] = {};
    char converted[kPathCapacity] = {};
    if (windowsPath == nullptr || !Utf8FromAnsi(windowsPath, utf8, sizeof utf8) ||
        !WindowsPathToLinux(utf8, converted, sizeof converted)) {
        return false;
    }
    linuxPath = converted;
    return true;
}

bool LinuxFolderReader::LinuxFileOf(const char* windowsPath, std::string& linuxPath)
{
    return LinuxPathOf(windowsPath, linuxPath) && KindOfLinuxPath(linuxPath.c_str()) == EntryKind::file;
}

std::uint32_t LinuxFolderReader::AddMsiObject(MsiObject&& object, MsiHandle* handle)
{
    for (std::size_t i = 0; i < kMsiSlots; ++i) {
        if (msiObjects_[i].kind == MsiKind::none) {
            msiObjects_[i] = std::move(object);
            *handle = static_cast<MsiHandle>(i + 1);
            return kErrorSuccess;
        }
    }
    return kErrorNotEnoughMemory;
}

LinuxFolderReader::MsiObject* LinuxFolderReader::MsiObjectOf(MsiHandle handle, MsiKind kind)
{
    if (handle == 0 || handle > kMsiSlots || msiObjects_[handle - 1].kind != kind) {
        return nullptr;
    }
    return &msiObjects_[handle - 1];
}

std::uint32_t LinuxFolderReader::MsiOpenDatabaseA(const char* path, const char* persist, MsiHandle* database)
{
    if (path == nullptr || database == nullptr) {
        return kErrorInvalidParameter;
    }
    *database = 0;
    // The checker writes nothing: MSIDBOPEN_READONLY, the null persist argument, only.
    if (persist != nullptr) {
        return kErrorInvalidParameter;
    }
    std::string linuxPath;
    if (!LinuxFileOf(path, linuxPath)) {
        return kErrorOpenFailed;
    }
    MsiObject object;
    std::string error;
    std::uint32_t result = kErrorFunctionFailed;
    object.package = msi::Package::Open(linuxPath, error, &result);
    if (object.package == nullptr) {
        return result;
    }
    object.kind = MsiKind::database;
    return AddMsiObject(std::move(object), database);
}

// The query runs when the view opens: a query it cannot run fails here, as Windows
// Installer fails a view on a missing table.
std::uint32_t LinuxFolderReader::MsiDatabaseOpenViewA(MsiHandle database, const char* query, MsiHandle* view)
{
    if (query == nullptr || view == nullptr) {
        return kErrorInvalidParameter;
    }
    *view = 0;
    MsiObject* opened = MsiObjectOf(database, MsiKind::database);
    if (opened == nullptr) {
        return kErrorInvalidHandle;
    }
    char utf8[kPathCapacity] = {};
    if (!Utf8FromAnsi(query, utf8, sizeof utf8)) {
        return kErrorInvalidParameter;
    }
    MsiObject object;
    std::string error;
    std::uint32_t result = kErrorFunctionFailed;
    if (!opened->package->Select(utf8, object.rows, error, &result)) {
        return result;
    }
    object.kind = MsiKind::view;
    return AddMsiObject(std::move(object), view);
}

std::uint32_t LinuxFolderReader::MsiViewExecute(MsiHandle view, MsiHandle parameters)
{
    MsiObject* rows = MsiObjectOf(view, MsiKind::view);
    if (rows == nullptr || parameters != 0) {
        return kErrorInvalidHandle;  // the program's queries take no parameters
    }
    rows->next = 0;
    return kErrorSuccess;
}

std::uint32_t LinuxFolderReader::MsiViewFetch(MsiHandle view, MsiHandle* fetched)
{
    if (fetched == nullptr) {
        return kErrorInvalidParameter;
    }
    *fetched = 0;
    MsiObject* rows = MsiObjectOf(view, MsiKind::view);
    if (rows == nullptr) {
        return kErrorInvalidHandle;
    }
    if (rows->next >= rows->rows.size()) {
        return kErrorNoMoreItems;
    }
    MsiObject fields;
    fields.kind = MsiKind::record;
    fields.row = rows->rows[rows->next++];
    return AddMsiObject(std::move(fields), fetched);
}

// `length`: the capacity in, the text's length out; a text that does not fit is cut,
// with ERROR_MORE_DATA.
std::uint32_t LinuxFolderReader::MsiRecordGetStringA(MsiHandle row, std::uint32_t field, char* buffer,
                                                     std::uint32_t* length)
{
    if (length == nullptr) {
        return kErrorInvalidParameter;
    }
    const MsiObject* fields = MsiObjectOf(row, MsiKind::record);
    if (fields == nullptr) {
        return kErrorInvalidHandle;
    }
    const std::string text = FieldText(fields->row, field);
    const std::uint32_t capacity = *length;
    const auto count = static_cast<std::uint32_t>(text.size());
    if (buffer != nullptr && capacity > 0) {
        const std::uint32_t kept = count < capacity ? count : capacity - 1;
        text.copy(buffer, kept);
        buffer[kept] = '\0';
    }
    *length = count;
    return buffer != nullptr && count >= capacity ? kErrorMoreData : kErrorSuccess;
}

std::uint32_t LinuxFolderReader::MsiGetProductInfoA(const char* product, const char* property, char* /*buffer*/,
                                                    std::uint32_t* /*length*/)
{
    // Windows refuses anything but a GUID in braces as a parameter, before it looks
    // anything up; a GUID in lower case it takes.
    if (product == nullptr || property == nullptr || BracedGuidForm(product) == GuidForm::none) {
        return kErrorInvalidParameter;
    }
    return kErrorUnknownProduct;  // nothing is installed here
}

std::uint32_t LinuxFolderReader::MsiCloseHandle(MsiHandle handle)
{
    if (handle == 0 || handle > kMsiSlots || msiObjects_[handle - 1].kind == MsiKind::none) {
        return kErrorInvalidHandle;
    }
    msiObjects_[handle - 1] = MsiObject{};
    return kErrorSuccess;
}

bool LinuxFolderReader::ReadSummaryText(const char* path, std::uint32_t property, std::string& value)
{
    value.clear();
    std::string linuxPath;
    std::string error;
    if (!LinuxFileOf(path, linuxPath)) {
        return false;
    }
    const std::unique_ptr<msi::Package> package = msi::Package::Open(linuxPath, error);
    msi::SummaryInfo summary;
    if (package == nullptr || !package->ReadSummary(summary, error)) {
        return false;
    }
    value = AnsiFromUtf8(summary.Text(property));
    return true;
}

InstallerFileClass LinuxFolderReader::ClassOf(const char* path)
{
    std::string linuxPath;
    std::string error;
    if (!LinuxFileOf(path, linuxPath)) {
        return InstallerFileClass::other;
    }
    const auto file = msi::CompoundReader::Open(linuxPath, error);
    if (file == nullptr) {
        return InstallerFileClass::other;
    }
    return ClassOfRootStorage(file->RootClassId());
}

bool LinuxFolderReader::ReadCabinets(const char* packagePath, std::vector<std::string>& cabinets)
{
    cabinets.clear();
    std::string linuxPath;
    std::string error;
    if (!LinuxFileOf(packagePath, linuxPath)) {
        return false;
    }
    const std::unique_ptr<msi::Package> package = msi::Package::Open(linuxPath, error);
    if (package == nullptr) {
        return false;
    }
    if (package->Columns().count("Media") == 0) {
        return true;  // a package that installs no files
    }
    std::vector<msi::Row> rows;
    if (!package->Select("SELECT `Cabinet` FROM `Media`", rows, error)) {
        return false;
    }
    std::transform(rows.begin(), rows.end(), std::back_inserter(cabinets),
                   [](const msi::Row& row) { return FieldText(row, 1); });
    return true;
}

void LinuxFolderReader::ReadTransform(const char* transformPath, const char* packagePath, std::int32_t packageLanguage,
                                      TransformReading& reading)
{
    reading = TransformReading{};
    std::string linuxPath;
    if (!LinuxPathOf(transformPath, linuxPath)) {
        return;  // missing
    }
    std::string packageLinuxPath;
    if (packagePath != nullptr && columnsPackage_ != packagePath && LinuxPathOf(packagePath, packageLinuxPath)) {
        // The package once for all its transforms: its tables' columns read their rows.
        columnsPackage_ = packagePath;
        std::string unused;
        const std::unique_ptr<msi::Package> package = msi::Package::Open(packageLinuxPath, unused);
        packageColumns_ = package != nullptr ? package->Columns() : msi::TableColumns{};
        packageIdentity_ = package != nullptr ? ReadIdentity(*package) : decltype(packageIdentity_){};
    }
    const msi::TransformFileKind kind = msi::ClassifyTransformFile(linuxPath);
    if (kind == msi::TransformFileKind::missing || kind == msi::TransformFileKind::folder) {
        reading.kind = kind == msi::TransformFileKind::folder ? TransformReading::Kind::folder
                                                               : TransformReading::Kind::missing;
        return;
    }
    msi::TransformContents contents;
    std::string error;
    if (kind != msi::TransformFileKind::transform || !msi::ReadTransform(linuxPath, contents, error, &packageColumns_)) {
        reading.kind = TransformReading::Kind::notTransform;
        reading.problem = kind != msi::TransformFileKind::transform ? DescribeNoTransform(kind)
                                                                    : "a damaged transform: " + error;
        return;
    }
    reading.kind = TransformReading::Kind::transform;
    reading.templateText = AnsiFromUtf8(contents.summary.Text(msi::kPidTemplate));
    reading.lastSavedBy = AnsiFromUtf8(contents.summary.Text(msi::kPidLastSavedBy));
    reading.revisionNumber = AnsiFromUtf8(contents.summary.Text(msi::kPidRevisionNumber));
    reading.characterCount = contents.summary.Integer(msi::kPidCharacterCount);
    reading.rowsWritten = contents.rowsWritten;
    for (std::size_t i = 0; i < std::size(kIdentityProperties); ++i) {
        const msi::PropertyChange* change = contents.FindPropertyChange(kIdentityProperties[i]);
        if (change == nullptr) {
            continue;
        }
        const std::optional<std::string>& before = packageIdentity_[i];
        TransformReading::PropertyAfter& after = reading.identityAfter[i];
        if (change->kind == msi::PropertyChange::Kind::deleted) {
            after.written = before.has_value();
        } else {
            after.value = AnsiFromUtf8(change->value);
            after.written = !before || *before != after.value;
        }
    }
    const msi::PropertyChange* change = contents.FindPropertyChange("ProductLanguage");
    reading.languageKnown = true;
    reading.languageAfter = change == nullptr ? packageLanguage
                            : change->kind == msi::PropertyChange::Kind::deleted
                                ? 0
                                : ParseDecimal(change->value.c_str());
}

}  // namespace boot
