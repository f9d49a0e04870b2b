#include <cstddef>
#include <string>

#include "checker/recorded_run/recording_platform.h"

// The user interface, written down: each box, and the language dialog, which answers with
// a language or Cancel.

namespace boot {

namespace {

constexpr WindowHandle kRecordedDialog = 0x9300;
constexpr WindowHandle kRecordedList = 0x9301;
constexpr std::size_t kMostDialogItems = 254;  // and Cancel: the answers fit a byte

}  // namespace

std::int32_t RecordingPlatform::MessageBoxA(WindowHandle /*owner*/, const char* text, const char* /*caption*/,
                                            std::uint32_t /*style*/)
{
    Record(WayEvent::Kind::box, text, nullptr);
    return static_cast<std::int32_t>(kIdOk);
}

std::intptr_t RecordingPlatform::DialogBoxParamA(ModuleHandle /*instance*/, std::uint32_t /*templateId*/,
                                                 WindowHandle /*owner*/, DialogProcedure procedure, void* context,
                                                 std::intptr_t initParam)
{
    if (ended_ || procedure == nullptr) {
        return kIdCancel;
    }
    dialogItems_.clear();
    dialogSelection_ = 0;
    dialogResult_ = kIdCancel;
    procedure(*this, context, kRecordedDialog, kWmInitDialog, 0, initParam);
    // The dialog procedure filled the list through SendMessageA.
    const std::size_t items = dialogItems_.size() < kMostDialogItems ? dialogItems_.size() : kMostDialogItems;
    std::uint8_t answer = 0;
    if (!Choose("language dialog", ChoiceKind::language, static_cast<std::uint8_t>(items + 1), answer)) {
        return kIdCancel;
    }
    // cppcheck-suppress knownConditionTrueFalse ; the dialog procedure fills the list
    if (answer < items) {
        NoteChoice(dialogItems_[answer].text);
        dialogSelection_ = answer;
        procedure(*this, context, kRecordedDialog, kWmCommand, static_cast<std::uintptr_t>(kIdOk), 0);
    } else {
        NoteChoice("Cancel");
        procedure(*this, context, kRecordedDialog, kWmCommand, static_cast<std::uintptr_t>(kIdCancel), 0);
    }
    return dialogResult_;
}

bool RecordingPlatform::SetWindowTextA(WindowHandle /*window*/, const char* /*text*/) { return true; }

bool RecordingPlatform::SetDlgItemTextA(WindowHandle /*dialog*/, std::int32_t /*itemId*/, const char* /*text*/)
{
    return true;
}

WindowHandle RecordingPlatform::GetDlgItem(WindowHandle dialog, std::int32_t /*itemId*/)
{
    return dialog == kRecordedDialog ? kRecordedList : kNoWindow;
}

// The language list: what the program puts in, and the row the answer chose.
std::intptr_t RecordingPlatform::SendMessageA(WindowHandle window, std::uint32_t message, std::uintptr_t wParam,
                                              std::intptr_t lParam)
{
    if (window != kRecordedList) {
        return 0;
    }
    switch (message) {
    case kCbAddString:
        // The list's text, as the message carries it.
        // NOLINTNEXTLINE(cppcoreguidelines-pro-type-reinterpret-cast,performance-no-int-to-ptr)
        dialogItems_.push_back(DialogItem{lParam != 0 ? reinterpret_cast<const char*>(lParam) : "", 0});
        return static_cast<std::intptr_t>(dialogItems_.size() - 1);
    case kCbSetItemData:
        if (wParam < dialogItems_.size()) {
            dialogItems_[wParam].data = lParam;
        }
        return 0;
    case kCbGetCurSel:
        return dialogSelection_;
    case kCbGetItemData:
        return wParam < dialogItems_.size() ? dialogItems_[wParam].data : kCbErr;
    default:
        return 0;
    }
}

bool RecordingPlatform::EndDialog(WindowHandle /*dialog*/, std::intptr_t result)
{
    dialogResult_ = result;
    return true;
}

}  // namespace boot
