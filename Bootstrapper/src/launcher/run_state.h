#pragma once
// Everything one run knows, owned by the entry and handed to each step as it needs it.

#include "common/fixed_text.h"
#include "language/language_state.h"
#include "package/msi_handle_holder.h"
#include "package/package_info.h"
#include "platform/platform.h"
#include "prereq/prerequisite_chain.h"
#include "services/run_end.h"

namespace boot {

struct RunState {
    explicit RunState(Platform& platform) : packageHandles(platform) {}

    RunEnd end;  // where and why the run ended; first, where it is stored with the fewest bytes
    ModuleHandle instance = 0;
    Handle instanceMutex = kNullHandle;  // owned until the process ends, never closed
    TextBuffer currentDirectory;         // read once, exactly as the ANSI calls must name it
    TextBuffer iniPath;
    TextBuffer packagePath;
    TextBuffer languagesDirectory;
    PrerequisiteStep prerequisite;  // the section the chain read last, as read
    PackageInfo packageInfo;
    PackageHandles packageHandles;
    LanguageState language;
};

}  // namespace boot
