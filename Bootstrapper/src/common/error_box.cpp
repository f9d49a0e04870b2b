#include "common/error_box.h"

namespace boot {

std::int32_t ShowErrorAndEnd(Platform& platform, const char* text, std::int32_t exitCode)
{
    platform.MessageBoxA(kNoWindow, text, kErrorCaption, kMbOk);
    return exitCode;
}

}  // namespace boot
