#include "outside/bind/BindID.h"

#include <openssl/evp.h>

#include <array>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

namespace BindID {
namespace {

// The id is the MD5 digest of the registration and the texts, each followed by
// a zero byte so that ("ab", "c") and ("a", "bc") differ. The first half is the
// digest's first 8 bytes read big-endian.
class BindIDManager final : public IBindIDManager {
public:
    void Register(const char* company, const char* product) override
    {
        std::string prefix = std::string(company ? company : "") + '\0' + (product ? product : "") + '\0';
        std::scoped_lock hold(m_lock);
        m_prefix = std::move(prefix);
    }

    tBindID GetBindID(const char* key, const char* sub_key) override
    {
        std::string text;
        {
            std::scoped_lock hold(m_lock);
            text = m_prefix;
        }
        text.append(key ? key : "").push_back('\0');
        text.append(sub_key ? sub_key : "").push_back('\0');
        std::array<unsigned char, 16> digest{};
        unsigned int size = 0;
        if (EVP_Digest(text.data(), text.size(), digest.data(), &size, EVP_md5(), nullptr) != 1 || size != 16)
            return {};
        return {half(digest.data()), half(digest.data() + 8)};
    }

private:
    static LONGLONG half(const unsigned char* bytes)
    {
        std::uint64_t v = 0;
        for (int i = 0; i < 8; ++i)
            v = (v << 8) | bytes[i];
        return static_cast<LONGLONG>(v);
    }

    std::mutex m_lock;
    std::string m_prefix{std::string(1, '\0') + '\0'};   // guarded by m_lock
};

}

IBindIDManager* IBindIDManager::GetBindIDManager()
{
    static BindIDManager manager;
    return &manager;
}

}
