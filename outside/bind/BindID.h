#pragma once
// The binding-identifier manager: deterministic 128-bit ids for texts, the
// same in every run and every process for the same registration and texts.

#include "platform/base/Types.h"

namespace BindID {

// An id in two 64-bit halves.
struct tBindID {
    LONGLONG first = 0;
    LONGLONG second = 0;
    friend bool operator==(const tBindID&, const tBindID&) = default;
};

class IBindIDManager {
public:
    // The one manager of the process.
    static IBindIDManager* GetBindIDManager();

    // First operation: names the company and product whose ids these are; ids of
    // different registrations differ. Null texts count as empty.
    virtual void Register(const char* company, const char* product) = 0;
    // Third operation: the id of a key and sub-key (null counts as empty).
    virtual tBindID GetBindID(const char* key, const char* sub_key) = 0;

protected:
    ~IBindIDManager() = default;
};

}
