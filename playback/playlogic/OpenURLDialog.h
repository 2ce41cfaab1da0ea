#pragma once
// The modal address dialog: one edit field (id 1001, up to 1000 characters),
// OK (1) and Cancel (2), centred over its owner.

#include "platform/window/Handles.h"

#include <optional>
#include <string>

namespace UI {

class OpenURLDialog {
public:
    static constexpr int AddressEdit = 1001;
    static constexpr int MaxAddress = 1000;
    static constexpr unsigned short TemplateId = 135;

    // The entered text when the user pressed OK; nothing on Cancel or when no
    // dialog could be shown.
    static std::optional<std::u16string> Ask(HWND owner);

private:
    static INT_PTR Proc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam);
};

}
