#include "core/app/AppTexts.h"

#include <map>

std::u16string app_text(UINT id)
{
    static const std::map<UINT, const char16_t*> texts = {
        {1, u"OK"},
        {2, u"Cancel"},
        {103, u"Strimo"},
        {122, u"StrimoWindowClass"},
        {1005, u"Downloading the new Strimo now!"},
        {1006, u"Strimo 1.0 build"},
        {1007, u"Copyright (C) Corvalen. All rights reserved."},
        {1010, u"About"},
        {1012, u"Strimo Update"},
        {1100, u"Start Strimo"},
        {1101, u"Enable prefetch"},
        {1102, u"Disable prefetch"},
        {1103, u"Exit"},
        {6001, u"Strimo Upate"},
        {6002, u"A new version of Strimo is now available,click \"OK\" to download and install it."},
        {7102, u"Failed to verify signature, can't install it now!"},
    };
    const auto found = texts.find(id);
    return found == texts.end() ? std::u16string() : found->second;
}
