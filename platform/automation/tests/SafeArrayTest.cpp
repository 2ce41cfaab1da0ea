#include "platform/automation/SafeArray.h"
#include "platform/automation/testing/AutomationTesting.h"

#include <gtest/gtest.h>

TEST(SafeArray, HoldsVariantsThatDestroyFrees)
{
    SAFEARRAY* array = SafeArrayCreateVector(VT_VARIANT, 0, 2);
    ASSERT_NE(array, nullptr);
    EXPECT_EQ(array->cDims, 1);
    EXPECT_EQ(array->rgsabound[0].cElements, 2u);

    VARIANT* elements = nullptr;
    ASSERT_EQ(SafeArrayAccessData(array, reinterpret_cast<void**>(&elements)), S_OK);
    EXPECT_EQ(elements[1].vt, VT_EMPTY);
    elements[0] = plat::bstr_variant("<p>text</p>");   // the array now owns the BSTR
    EXPECT_EQ(SafeArrayDestroy(array), DISP_E_ARRAYISLOCKED);
    EXPECT_EQ(SafeArrayUnaccessData(array), S_OK);
    EXPECT_EQ(SafeArrayUnaccessData(array), E_UNEXPECTED);
    EXPECT_EQ(SafeArrayDestroy(array), S_OK);   // ASan sees a leak if the BSTR stays
}

TEST(SafeArray, RefusesWhatItDoesNotHold)
{
    EXPECT_EQ(SafeArrayCreateVector(VT_BSTR, 0, 1), nullptr);
    EXPECT_EQ(SafeArrayCreateVector(VT_VARIANT, 0, 0xFFFFFFFFu), nullptr);
    EXPECT_EQ(SafeArrayDestroy(nullptr), S_OK);
    void* data = nullptr;
    EXPECT_EQ(SafeArrayAccessData(nullptr, &data), E_INVALIDARG);
}
