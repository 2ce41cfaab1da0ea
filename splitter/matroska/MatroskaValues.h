#pragma once
// The value holders of the Matroska element tree: each keeps a value and
// whether it was read or given a default. Element payloads are big-endian.

#include "platform/base/Types.h"

#include <limits>
#include <string>
#include <vector>

namespace MatroskaReader {

class CElementNode;
class CMatroskaFile;

template <class T, class Derived>
class CSimpleVar {
public:
    CSimpleVar() = default;
    // A default counts as set.
    explicit CSimpleVar(T value) : m_val(value), m_fSet(true) {}
    virtual ~CSimpleVar() = default;

    // Reads the element's payload; a failure leaves the holder unset.
    virtual HRESULT Parse(CElementNode* node) = 0;

    T operator*() const { return m_val; }
    bool IsSet() const { return m_fSet; }
    Derived& Set(T value)
    {
        m_val = value;
        m_fSet = true;
        return static_cast<Derived&>(*this);
    }

protected:
    T m_val{};
    bool m_fSet{false};
};

class CUInt : public CSimpleVar<ULONGLONG, CUInt> {
public:
    using CSimpleVar::CSimpleVar;
    // A payload longer than 8 bytes keeps its low 64 bits.
    HRESULT Parse(CElementNode* node) override;
};

class CInt : public CSimpleVar<LONGLONG, CInt> {
public:
    using CSimpleVar::CSimpleVar;
    // Sign-extended; an empty payload is 0, and a payload longer than 8 bytes
    // keeps its low 64 bits, as CUInt does, so the element still counts as present.
    HRESULT Parse(CElementNode* node) override;
};

class CFloat : public CSimpleVar<double, CFloat> {
public:
    using CSimpleVar::CSimpleVar;
    // 4 or 8 bytes; any other size fails.
    HRESULT Parse(CElementNode* node) override;
};

// A float of the file as a whole number: zero when it is not a number or out of T's range.
template <class T>
T WholeOf(double value)
{
    return value >= 0 && value < static_cast<double>(std::numeric_limits<T>::max()) ? static_cast<T>(value) : T{};
}

class CByte : public CSimpleVar<BYTE, CByte> {
public:
    using CSimpleVar::CSimpleVar;
    HRESULT Parse(CElementNode* node) override;
};

class CShort : public CSimpleVar<short, CShort> {
public:
    using CSimpleVar::CSimpleVar;
    HRESULT Parse(CElementNode* node) override;
};

// An EBML element id, marker bits kept (0x1A45DFA3, 0xA3).
class CID : public CSimpleVar<DWORD, CID> {
public:
    using CSimpleVar::CSimpleVar;
    // As the payload of an element (SeekID).
    HRESULT Parse(CElementNode* node) override;
    // At the file's current position.
    HRESULT Parse(CMatroskaFile* file);
};

// An EBML size. The unknown-size marker becomes "to the end of the stream".
class CLength : public CSimpleVar<ULONGLONG, CLength> {
public:
    explicit CLength(bool is_signed = false) : m_fSigned(is_signed) {}
    HRESULT Parse(CElementNode* node) override;
    // At the file's current position.
    HRESULT Parse(CMatroskaFile* file);
    // Bytes the last Parse read (1 to 8).
    int Bytes() const { return m_bytes; }

private:
    bool m_fSigned;
    int m_bytes{0};
};

// An EBML lace size difference: the size minus its bias (stored unsigned, used signed).
class CSignedLength : public CLength {
public:
    CSignedLength() : CLength(true) {}
};

class CANSI : public CSimpleVar<std::string, CANSI> {
public:
    using CSimpleVar::CSimpleVar;
    HRESULT Parse(CElementNode* node) override;
};

class CUTF8 : public CSimpleVar<std::u16string, CUTF8> {
public:
    using CSimpleVar::CSimpleVar;
    HRESULT Parse(CElementNode* node) override;
};

class CBinary : public CSimpleVar<std::vector<BYTE>, CBinary> {
public:
    using CSimpleVar::CSimpleVar;
    HRESULT Parse(CElementNode* node) override;
    const std::vector<BYTE>& Bytes() const { return m_val; }
    std::vector<BYTE>& Bytes() { return m_val; }
};

}
