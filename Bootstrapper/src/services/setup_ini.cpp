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

}  // namespace boot
