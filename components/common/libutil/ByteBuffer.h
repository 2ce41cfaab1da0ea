#pragma once
// A run of bytes that either owns a copy or borrows someone else's storage.
// Owned storage always keeps a zero byte past the length, so text read or
// written through it can be handed on as a C string.

#include "platform/base/Types.h"

#include <string>
#include <string_view>
#include <vector>

namespace LibUtil {

class ByteBuffer {
public:
    enum class Storage { Copy, Borrow };

    ByteBuffer() = default;
    // Borrow: the buffer refers to the bytes and never frees them; the caller keeps them alive.
    // Throws std::length_error past 32-bit lengths.
    ByteBuffer(const BYTE* data, std::size_t length, Storage storage = Storage::Copy);
    explicit ByteBuffer(std::string_view text, Storage storage = Storage::Copy);
    explicit ByteBuffer(std::vector<BYTE>&& bytes);
    // Copies always own their bytes, whatever the source did.
    ByteBuffer(const ByteBuffer& other);
    ByteBuffer& operator=(const ByteBuffer& other);
    ByteBuffer(ByteBuffer&& other) noexcept;
    ByteBuffer& operator=(ByteBuffer&& other) noexcept;
    ~ByteBuffer() = default;

    // Frees owned bytes (a borrowed buffer lets go of its bytes); the length becomes 0.
    void Clear();

    // Null for a buffer that holds no data.
    const BYTE* Data() const { return m_data; }
    DWORD Length() const { return m_length; }
    bool Borrowed() const { return m_borrowed; }
    std::string_view View() const;
    // The bytes up to the length as a string (zero bytes inside are kept).
    std::string ToString() const;

private:
    void own(std::vector<BYTE>&& bytes, std::size_t length);

    std::vector<BYTE> m_owned;     // length bytes and a zero, unless borrowed
    const BYTE* m_data{nullptr};   // into m_owned, or the borrowed bytes
    DWORD m_length{0};
    bool m_borrowed{false};
};

}
