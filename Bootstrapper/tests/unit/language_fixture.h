#pragma once
// Shared set-up for the language and installer tests: the module's string table as the
// resource script holds it.

#include "fake_platform.h"
#include "resource.h"

namespace boot::testing {

inline void LoadProductStrings(FakePlatform& platform)
{
    platform.SetString(IDS_CAPTION_GERMAN, "W\xe4hlen Sie eine Setup-Sprache aus");
    platform.SetString(IDS_OK_GERMAN, "OK");
    platform.SetString(IDS_CANCEL_GERMAN, "Abbrechen");
    platform.SetString(IDS_CAPTION_ENGLISH, "Choose your setup language");
    platform.SetString(IDS_OK_ENGLISH, "OK");
    platform.SetString(IDS_CANCEL_ENGLISH, "Cancel");
    platform.SetString(IDS_PROMPT_GERMAN,
                       "W\xe4hlen Sie die Sprache dieser Installation aus der unten aufgef\xfchrten Auswahl aus.");
    platform.SetString(IDS_PROMPT_ENGLISH, "Choose one of the setup languages below.");
}

}  // namespace boot::testing
