#include "services/setup_ini.h"

namespace boot {

bool ReadSetupValue(Platform& platform, const TextBuffer& iniPath, const char* section, const char* key,
                    TextBuffer& value)
{
    // The profile reader cuts a long value silently to the capacity less one. Reading
    // with one byte more than a TextBuffer holds tells a value of exactly 1023
    // characters from a longer one.
    FixedText<kTextBufferSize + 1> probe;
    const std::uint32_t count = platform.GetPrivateProfileStringA(
        section, key, nullptr, probe.Data(), static_cast<std::uint32_t>(probe.Capacity()), iniPath.Get());
    probe.TerminateAtEnd();
    if (count >= kTextBufferSize || probe.Length() >= kTextBufferSize) {
        value.Clear();
        return false;
    }
    return value.Assign(probe.Get());
}

namespace {

constexpr std::uint8_t kUtf8ByteOrderMark[3] = {0xEF, 0xBB, 0xBF};

}  // namespace

bool StartsWithUtf8ByteOrderMark(Platform& platform, const TextBuffer& iniPath)
{
    const Handle file = platform.CreateFileA(iniPath.Get(), kGenericRead, kFileShareRead | kFileShareWrite,
                                             kOpenExisting, kFileAttributeNormal);
    if (file == kInvalidHandle) {
        return false;  // missing: every value reads as empty
    }
    std::uint8_t start[sizeof kUtf8ByteOrderMark] = {0, 0, 0};
    std::uint32_t read = 0;
    const bool ok = platform.ReadFile(file, start, sizeof start, &read);
    platform.CloseHandle(file);
    return ok && read == sizeof start && start[0] == kUtf8ByteOrderMark[0] && start[1] == kUtf8ByteOrderMark[1] &&
           start[2] == kUtf8ByteOrderMark[2];
}

}  // namespace boot
