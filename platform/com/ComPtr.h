#pragma once
// A counted reference to a COM interface: AddRef on copy, Release on drop.

#include "platform/com/Unknown.h"

#include <utility>

namespace plat {

template <class T>
class ComPtr {
public:
    ComPtr() = default;
    ComPtr(std::nullptr_t) {}
    // Takes its own reference, as CComPtr does from a raw pointer.
    explicit ComPtr(T* p) : m_p(p) { if (m_p) m_p->AddRef(); }
    ComPtr(const ComPtr& other) : ComPtr(other.m_p) {}
    ComPtr(ComPtr&& other) noexcept : m_p(std::exchange(other.m_p, nullptr)) {}
    ~ComPtr() { reset(); }

    ComPtr& operator=(const ComPtr& other)
    {
        ComPtr(other).swap(*this);
        return *this;
    }
    ComPtr& operator=(ComPtr&& other) noexcept
    {
        ComPtr(std::move(other)).swap(*this);
        return *this;
    }

    // Adopts a reference the caller already owns (a fresh object, an out-parameter).
    static ComPtr adopt(T* p)
    {
        ComPtr c;
        c.m_p = p;
        return c;
    }

    T* get() const { return m_p; }
    T* operator->() const { return m_p; }
    explicit operator bool() const { return m_p != nullptr; }

    // Releases what is held and hands out the slot for an out-parameter.
    T** put()
    {
        reset();
        return &m_p;
    }
    void** put_void() { return reinterpret_cast<void**>(put()); }
    T* detach() { return std::exchange(m_p, nullptr); }

    void reset()
    {
        if (T* p = std::exchange(m_p, nullptr)) p->Release();
    }
    void swap(ComPtr& other) noexcept { std::swap(m_p, other.m_p); }

    template <class U>
    ComPtr<U> as() const
    {
        ComPtr<U> out;
        if (m_p) m_p->QueryInterface(U::iid, out.put_void());
        return out;
    }

    friend bool operator==(const ComPtr& a, const ComPtr& b) { return a.m_p == b.m_p; }

private:
    T* m_p{nullptr};
};

}
