#pragma once
// What the checker's platforms do instead of changing anything: a program is not started,
// a box and the dialog are not shown; each is written down here.

#include <cstdint>

#include "common/fixed_text.h"

namespace boot {

struct DryRunRecord {
    std::uint32_t boxes = 0;
    TextBuffer lastBoxText;          // the text of the last box that would have been shown
    std::uint32_t programs = 0;      // programs that would have been started
    TextBuffer lastCommandLine;      // the last one's command line
    TextBuffer lastApplication;      // and its application name, empty when none was given
    bool dialogShown = false;        // the language dialog would have been shown

    void Clear()
    {
        boxes = 0;
        lastBoxText.Clear();
        programs = 0;
        lastCommandLine.Clear();
        lastApplication.Clear();
        dialogShown = false;
    }
};

}  // namespace boot
