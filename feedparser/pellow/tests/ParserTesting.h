#pragma once
// Helpers of the parser's tests: properties read back as UTF-8.

#include "feedparser/pellow/PellowLib.h"
#include "platform/base/Utf.h"

#include <gtest/gtest.h>

#include <string>

template <class Object>
std::string read(Object* object, HRESULT (Object::*getter)(BSTR*))
{
    plat::Bstr value;
    if (FAILED((object->*getter)(value.out())))
        return "<failed>";
    return value.utf8();
}
