#include "services/error_box.h"

#include "services/messages.h"

namespace boot {

std::int32_t ShowErrorAndEnd(Platform& platform, const char* text, std::int32_t exitCode)
{
    platform.MessageBoxA(kNoWindow, text, kErrorCaption, kMbOk);
    return exitCode;
}

}  // namespace boot
