#include "msi_file/format/code_page_text.h"

#include <algorithm>

#include <glib.h>

namespace boot::msi {

namespace {

// iconv's name of a Windows code page.
std::string CharsetName(std::uint32_t codePage)
{
    constexpr std::uint32_t kUtf8CodePage = 65001;
    if (codePage == kUtf8CodePage) {
        return "UTF-8";
    }
    return "CP" + std::to_string(codePage == kNeutralCodePage ? kWesternCodePage : codePage);
}

bool Convert(const std::string& text, const std::string& to, const std::string& from, std::string& converted)
{
    gsize written = 0;
    GError* error = nullptr;
    gchar* result = g_convert(text.data(), static_cast<gssize>(text.size()), to.c_str(), from.c_str(), nullptr,
                              &written, &error);
    g_clear_error(&error);
    if (result == nullptr) {
        return false;
    }
    converted.assign(result, written);
    g_free(result);
    return true;
}

}  // namespace

bool IsAscii(const std::string& text)
{
    constexpr unsigned kFirstBeyondAscii = 0x80;
    return std::all_of(text.begin(), text.end(),
                       [](char c) { return static_cast<unsigned char>(c) < kFirstBeyondAscii; });
}

bool EncodeCodePage(const std::string& utf8, std::uint32_t codePage, std::string& bytes)
{
    if (codePage == kNeutralCodePage || IsAscii(utf8)) {
        bytes = utf8;
        return IsAscii(utf8);
    }
    return Convert(utf8, CharsetName(codePage), "UTF-8", bytes);
}

bool DecodeCodePage(const std::string& bytes, std::uint32_t codePage, std::string& utf8)
{
    if (IsAscii(bytes)) {
        utf8 = bytes;
        return true;
    }
    return Convert(bytes, "UTF-8", CharsetName(codePage), utf8);
}

}  // namespace boot::msi
