#include "core/app/AppTexts.h"

#include "platform/window/StringTable.h"

#include <atomic>

namespace {

std::atomic<HINSTANCE> text_module{nullptr};

std::u16string text_of(HINSTANCE module, UINT id)
{
    const WCHAR* text = nullptr;
    const int length = LoadStringW(module, id, reinterpret_cast<LPWSTR>(&text), 0);
    return length > 0 && text ? std::u16string(text, std::size_t(length)) : std::u16string();
}

}

void set_text_module(HINSTANCE module) { text_module = module; }

std::u16string app_text(UINT id) { return text_of(text_module.load(), id); }

std::u16string program_text(UINT id) { return text_of(nullptr, id); }
