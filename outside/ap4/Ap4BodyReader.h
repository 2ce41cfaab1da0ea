#pragma once
// Reads the fields of an atom whose body is in memory. Every read is checked
// against the bytes left: a read past the end fails and leaves its target as
// it was, so a count can be checked against the bytes it needs before
// anything is allocated for it. Private to the library.

#include "outside/ap4/Ap4Types.h"

#include <cstring>
#include <span>
#include <string>

namespace ap4 {

// Thrown inside the library when an atom's fields do not fit its size; the
// factory refuses the atom.
struct InvalidAtom {};

class BodyReader {
public:
    explicit BodyReader(std::span<const AP4_UI08> body) : m_body(body) {}

    std::size_t remaining() const { return m_body.size() - m_at; }
    std::size_t position() const { return m_at; }
    bool failed() const { return m_failed; }
    // The unread bytes.
    std::span<const AP4_UI08> rest() const { return m_body.subspan(m_at); }

    // Big-endian unsigned field of sizeof(T) bytes, or `bytes` bytes when given.
    template <class T>
    bool read(T& value, std::size_t bytes = sizeof(T))
    {
        if (!take(bytes)) return false;
        AP4_UI64 v = 0;
        for (std::size_t i = 0; i < bytes; ++i) v = v << 8 | m_body[m_at - bytes + i];
        value = static_cast<T>(v);
        return true;
    }
    // A field that must be there: InvalidAtom when it is not.
    template <class T>
    T get(std::size_t bytes = sizeof(T))
    {
        T value{};
        if (!read(value, bytes)) throw InvalidAtom{};
        return value;
    }
    void need(AP4_UI64 count, std::size_t entry_size) const
    {
        if (!holds(count, entry_size)) throw InvalidAtom{};
    }
    bool read_bytes(void* out, std::size_t n)
    {
        if (!take(n)) return false;
        if (n) std::memcpy(out, m_body.data() + m_at - n, n);
        return true;
    }
    bool skip(std::size_t n) { return take(n); }
    // Passes over bytes that must be there: InvalidAtom when they are not.
    void pass(std::size_t n)
    {
        if (!take(n)) throw InvalidAtom{};
    }
    // True when count entries of entry_size bytes each are still there.
    bool holds(AP4_UI64 count, std::size_t entry_size) const
    {
        return entry_size == 0 || count <= remaining() / entry_size;
    }

private:
    bool take(std::size_t n)
    {
        if (m_failed || n > remaining()) {
            m_failed = true;
            return false;
        }
        m_at += n;
        return true;
    }

    std::span<const AP4_UI08> m_body;
    std::size_t m_at{0};
    bool m_failed{false};
};

}
