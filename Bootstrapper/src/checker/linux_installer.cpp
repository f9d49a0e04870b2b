// Windows Installer on the Linux platform: the package is read with libmsi, and the
// handles the program sees are numbers for the objects libmsi hands out.
#include <sys/stat.h>

#include <libmsi.h>

#include "checker/linux_platform.h"
#include "checker/unicode_text.h"
#include "common/code_page_1252.h"

namespace boot {

namespace {

constexpr std::uint32_t kErrorInvalidHandle = 6;
constexpr std::uint32_t kErrorNotEnoughMemory = 8;
constexpr std::uint32_t kErrorOpenFailed = 110;
constexpr std::uint32_t kErrorBadQuerySyntax = 1615;
constexpr std::uint32_t kErrorFunctionFailed = 1627;

// libmsi's results are Windows Installer's, by name and in this order.
constexpr std::uint32_t kWindowsResults[] = {
    kErrorFunctionFailed,  // SUCCESS, which a failure never is
    5,                     // ACCESS_DENIED
    kErrorInvalidHandle,   // INVALID_HANDLE
    kErrorNotEnoughMemory, // NOT_ENOUGH_MEMORY
    13,                    // INVALID_DATA
    14,                    // OUTOFMEMORY
    kErrorInvalidParameter,
    kErrorOpenFailed,
    120,                   // CALL_NOT_IMPLEMENTED
    kErrorMoreData,
    1168,                  // NOT_FOUND
    1246,                  // CONTINUE
    1608,                  // UNKNOWN_PROPERTY
    kErrorBadQuerySyntax,
    1616,                  // INVALID_FIELD
    kErrorFunctionFailed,
    1628,                  // INVALID_TABLE
    1629,                  // DATATYPE_MISMATCH
    1804,                  // INVALID_DATATYPE
};
static_assert(sizeof kWindowsResults / sizeof kWindowsResults[0] == LIBMSI_RESULT_INVALID_DATATYPE + 1,
              "one Windows result for each of libmsi's");

// The Windows result for a failed libmsi call; the error is freed.
std::uint32_t WindowsResult(GError*& error)
{
    std::uint32_t result = kErrorFunctionFailed;
    if (error != nullptr && error->domain == LIBMSI_RESULT_ERROR && error->code >= 0 &&
        static_cast<std::size_t>(error->code) < sizeof kWindowsResults / sizeof kWindowsResults[0]) {
        result = kWindowsResults[error->code];
    }
    g_clear_error(&error);
    return result;
}

void DiscardMessage(const gchar* /*domain*/, GLogLevelFlags /*level*/, const gchar* /*message*/, gpointer /*data*/)
{
}

// libmsi also writes what it could not read to stderr, as glib warnings of the default
// domain; the checker reports the results itself, so the process drops them.
void QuietLibmsi()
{
    constexpr int kChatter = G_LOG_LEVEL_WARNING | G_LOG_LEVEL_MESSAGE | G_LOG_LEVEL_INFO | G_LOG_LEVEL_DEBUG;
    static const guint handler =
        g_log_set_handler(nullptr, static_cast<GLogLevelFlags>(kChatter), DiscardMessage, nullptr);
    static_cast<void>(handler);
}

bool IsHexDigit(char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }

// "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}"; Windows refuses any other product code as a
// parameter, before it looks anything up.
bool IsBracedGuid(const char* text)
{
    constexpr char kForm[] = "{########-####-####-####-############}";
    for (std::size_t i = 0; i + 1 < sizeof kForm; ++i) {
        const bool fits = kForm[i] == '#' ? IsHexDigit(text[i]) : text[i] == kForm[i];
        if (!fits) {
            return false;
        }
    }
    return text[sizeof kForm - 1] == '\0';
}

}  // namespace

MsiHandle LinuxPlatform::AddMsiObject(void* object, MsiKind kind)
{
    for (std::size_t i = 0; i < kMsiSlots; ++i) {
        if (msiObjects_[i].kind == MsiKind::none) {
            msiObjects_[i].object = object;
            msiObjects_[i].kind = kind;
            return static_cast<MsiHandle>(i + 1);
        }
    }
    g_object_unref(object);
    return 0;
}

void* LinuxPlatform::MsiObjectOf(MsiHandle handle, MsiKind kind) const
{
    if (handle == 0 || handle > kMsiSlots || msiObjects_[handle - 1].kind != kind) {
        return nullptr;
    }
    return msiObjects_[handle - 1].object;
}

std::uint32_t LinuxPlatform::MsiOpenDatabaseA(const char* path, const char* persist, MsiHandle* database)
{
    if (path == nullptr || database == nullptr) {
        return kErrorInvalidParameter;
    }
    *database = 0;
    // The checker writes nothing: MSIDBOPEN_READONLY, the null persist argument, only.
    if (persist != nullptr) {
        return kErrorInvalidParameter;
    }
    char utf8[kPathCapacity] = {};
    char linuxPath[kPathCapacity] = {};
    struct stat info {};
    if (!Utf8FromAnsi(path, utf8, sizeof utf8) || !WindowsPathToLinux(utf8, linuxPath, sizeof linuxPath) ||
        stat(linuxPath, &info) != 0 || !S_ISREG(info.st_mode)) {
        return kErrorOpenFailed;
    }
    QuietLibmsi();
    GError* error = nullptr;
    LibmsiDatabase* opened = libmsi_database_new(linuxPath, LIBMSI_DB_FLAGS_READONLY, nullptr, &error);
    g_clear_error(&error);
    if (opened == nullptr) {
        // Any file there that is no package, as Windows Installer answers for it.
        return kErrorFunctionFailed;
    }
    *database = AddMsiObject(opened, MsiKind::database);
    return *database != 0 ? kErrorSuccess : kErrorNotEnoughMemory;
}

std::uint32_t LinuxPlatform::MsiDatabaseOpenViewA(MsiHandle database, const char* query, MsiHandle* view)
{
    if (query == nullptr || view == nullptr) {
        return kErrorInvalidParameter;
    }
    *view = 0;
    void* opened = MsiObjectOf(database, MsiKind::database);
    if (opened == nullptr) {
        return kErrorInvalidHandle;
    }
    char utf8[kPathCapacity] = {};
    if (!Utf8FromAnsi(query, utf8, sizeof utf8)) {
        return kErrorBadQuerySyntax;
    }
    GError* error = nullptr;
    LibmsiQuery* created = libmsi_query_new(static_cast<LibmsiDatabase*>(opened), utf8, &error);
    if (created == nullptr) {
        return WindowsResult(error);
    }
    g_clear_error(&error);
    *view = AddMsiObject(created, MsiKind::view);
    return *view != 0 ? kErrorSuccess : kErrorNotEnoughMemory;
}

std::uint32_t LinuxPlatform::MsiViewExecute(MsiHandle view, MsiHandle parameters)
{
    void* query = MsiObjectOf(view, MsiKind::view);
    void* values = parameters != 0 ? MsiObjectOf(parameters, MsiKind::record) : nullptr;
    if (query == nullptr || (parameters != 0 && values == nullptr)) {
        return kErrorInvalidHandle;
    }
    GError* error = nullptr;
    if (libmsi_query_execute(static_cast<LibmsiQuery*>(query), static_cast<LibmsiRecord*>(values), &error) == 0) {
        return WindowsResult(error);
    }
    g_clear_error(&error);
    return kErrorSuccess;
}

std::uint32_t LinuxPlatform::MsiViewFetch(MsiHandle view, MsiHandle* fetched)
{
    if (fetched == nullptr) {
        return kErrorInvalidParameter;
    }
    *fetched = 0;
    void* query = MsiObjectOf(view, MsiKind::view);
    if (query == nullptr) {
        return kErrorInvalidHandle;
    }
    GError* error = nullptr;
    LibmsiRecord* row = libmsi_query_fetch(static_cast<LibmsiQuery*>(query), &error);
    if (row == nullptr) {
        // libmsi ends the rows without an error.
        return error != nullptr ? WindowsResult(error) : kErrorNoMoreItems;
    }
    g_clear_error(&error);
    *fetched = AddMsiObject(row, MsiKind::record);
    return *fetched != 0 ? kErrorSuccess : kErrorNotEnoughMemory;
}

// libmsi's text is UTF-8; the ANSI call hands it over in code page 1252, "?" for a
// character that has no byte there. `length`: the capacity in, the text's length out;
// a text that does not fit is cut, with ERROR_MORE_DATA.
std::uint32_t LinuxPlatform::MsiRecordGetStringA(MsiHandle row, std::uint32_t field, char* buffer,
                                                 std::uint32_t* length)
{
    if (length == nullptr) {
        return kErrorInvalidParameter;
    }
    void* fields = MsiObjectOf(row, MsiKind::record);
    if (fields == nullptr) {
        return kErrorInvalidHandle;
    }
    gchar* text = libmsi_record_get_string(static_cast<LibmsiRecord*>(fields), field);
    const char* utf8 = text != nullptr ? text : "";
    const std::uint32_t capacity = *length;
    std::uint32_t count = 0;
    for (std::size_t position = 0; utf8[position] != '\0'; ++count) {
        unsigned char byte = '?';
        if (!EncodeCodePage1252(DecodeUtf8(utf8, position), byte)) {
            byte = '?';
        }
        if (buffer != nullptr && count + 1 < capacity) {
            buffer[count] = static_cast<char>(byte);
        }
    }
    g_free(text);
    if (buffer != nullptr && capacity > 0) {
        buffer[count < capacity ? count : capacity - 1] = '\0';
    }
    *length = count;
    return buffer != nullptr && count >= capacity ? kErrorMoreData : kErrorSuccess;
}

std::uint32_t LinuxPlatform::MsiGetProductInfoA(const char* product, const char* property, char* /*buffer*/,
                                                std::uint32_t* /*length*/)
{
    if (product == nullptr || property == nullptr || !IsBracedGuid(product)) {
        return kErrorInvalidParameter;
    }
    return kErrorUnknownProduct;  // nothing is installed here
}

bool LinuxPlatform::ReadSummaryText(const char* path, std::uint32_t property, std::string& value)
{
    value.clear();
    char utf8[kPathCapacity] = {};
    char linuxPath[kPathCapacity] = {};
    if (path == nullptr || !Utf8FromAnsi(path, utf8, sizeof utf8) ||
        !WindowsPathToLinux(utf8, linuxPath, sizeof linuxPath) || KindOf(path) != EntryKind::file) {
        return false;
    }
    QuietLibmsi();
    GError* error = nullptr;
    LibmsiDatabase* database = libmsi_database_new(linuxPath, LIBMSI_DB_FLAGS_READONLY, nullptr, &error);
    g_clear_error(&error);
    if (database == nullptr) {
        return false;
    }
    LibmsiSummaryInfo* summary = libmsi_summary_info_new(database, 0, &error);
    g_clear_error(&error);
    const auto id = static_cast<LibmsiProperty>(property);
    if (summary != nullptr &&
        libmsi_summary_info_get_property_type(summary, id, &error) == LIBMSI_PROPERTY_TYPE_STRING) {
        g_clear_error(&error);
        const gchar* text = libmsi_summary_info_get_string(summary, id, &error);
        // libmsi's text is UTF-8; the ANSI call would hand it over in code page 1252.
        for (std::size_t position = 0; text != nullptr && text[position] != '\0';) {
            unsigned char byte = '?';
            if (!EncodeCodePage1252(DecodeUtf8(text, position), byte)) {
                byte = '?';
            }
            value += static_cast<char>(byte);
        }
    }
    g_clear_error(&error);
    if (summary != nullptr) {
        g_object_unref(summary);
    }
    g_object_unref(database);
    return summary != nullptr;
}

std::uint32_t LinuxPlatform::MsiCloseHandle(MsiHandle handle)
{
    if (handle == 0 || handle > kMsiSlots || msiObjects_[handle - 1].kind == MsiKind::none) {
        return kErrorInvalidHandle;
    }
    MsiObject& slot = msiObjects_[handle - 1];
    g_object_unref(slot.object);
    slot.object = nullptr;
    slot.kind = MsiKind::none;
    return kErrorSuccess;
}

}  // namespace boot
