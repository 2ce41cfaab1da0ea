#include "core/http/CertHelper.h"

#include "components/common/libutil/ByteBuffer.h"
#include "components/common/libutil/ZLibEncryptHelper.h"

#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/pem.h>

#include <cstdio>
#include <vector>

namespace LibUtil {

namespace {

constexpr int base64_mode = 3;


struct FileClose {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

}

void CertHelperOpenSSLImpl::KeyFree::operator()(void* key) const
{
    EVP_PKEY_free(static_cast<EVP_PKEY*>(key));
}

void CertHelperOpenSSLImpl::ContextFree::operator()(void* context) const
{
    EVP_MD_CTX_free(static_cast<EVP_MD_CTX*>(context));
}

std::unique_ptr<ICertHelper> CertHelperOpenSSLImpl::Create()
{
    // OpenSSL 3 registers its algorithms itself on first use.
    return std::unique_ptr<ICertHelper>(new CertHelperOpenSSLImpl());
}

CertHelperOpenSSLImpl::~CertHelperOpenSSLImpl() = default;

bool CertHelperOpenSSLImpl::LoadPublicKey(const std::string& path)
{
    Reset();
    std::unique_ptr<std::FILE, FileClose> file(std::fopen(path.c_str(), "r"));
    if (!file)
        return false;
    m_key.reset(PEM_read_PUBKEY(file.get(), nullptr, nullptr, nullptr));
    return start_digest(Use::Verify);
}

bool CertHelperOpenSSLImpl::LoadPrivateKey(const std::string& password, const std::string& path)
{
    Reset();
    std::unique_ptr<std::FILE, FileClose> file(std::fopen(path.c_str(), "r"));
    if (!file)
        return false;
    m_key.reset(PEM_read_PrivateKey(file.get(), nullptr, nullptr, const_cast<char*>(password.c_str())));
    return start_digest(Use::Sign);
}

bool CertHelperOpenSSLImpl::start_digest(Use use)
{
    auto* key = static_cast<EVP_PKEY*>(m_key.get());
    if (key) {
        m_context.reset(EVP_MD_CTX_new());
        auto* context = static_cast<EVP_MD_CTX*>(m_context.get());
        const int started = !context                ? 0
                            : use == Use::Verify ? EVP_DigestVerifyInit(context, nullptr, EVP_sha256(), nullptr, key)
                                                 : EVP_DigestSignInit(context, nullptr, EVP_sha256(), nullptr, key);
        if (started == 1) {
            m_use = use;
            return true;
        }
    }
    ERR_clear_error();
    Reset();
    return false;
}

bool CertHelperOpenSSLImpl::AddData(const ByteBuffer& data)
{
    auto* context = static_cast<EVP_MD_CTX*>(m_context.get());
    if (!context)
        return false;
    if (data.Length() == 0)
        return true;
    const int done = m_use == Use::Verify ? EVP_DigestVerifyUpdate(context, data.Data(), data.Length())
                                          : EVP_DigestSignUpdate(context, data.Data(), data.Length());
    return done == 1;
}

bool CertHelperOpenSSLImpl::Verify(const ByteBuffer& signature, bool base64)
{
    auto* context = static_cast<EVP_MD_CTX*>(m_context.get());
    if (!context || m_use != Use::Verify)
        return false;
    ByteBuffer raw;
    if (base64) {
        ZLibEncryptHelper codec;
        if (!codec.Decode(signature, raw, base64_mode))
            return false;
    } else {
        raw = signature;
    }
    if (!raw.Data())
        return false;
    const int result = EVP_DigestVerifyFinal(context, raw.Data(), raw.Length());
    ERR_clear_error();
    return result == 1;
}

bool CertHelperOpenSSLImpl::Sign(ByteBuffer& out, bool base64)
{
    auto* context = static_cast<EVP_MD_CTX*>(m_context.get());
    if (!context || m_use != Use::Sign)
        return false;
    std::size_t length = 0;
    if (EVP_DigestSignFinal(context, nullptr, &length) != 1) {
        ERR_clear_error();
        return false;
    }
    std::vector<BYTE> bytes(length);
    if (EVP_DigestSignFinal(context, bytes.data(), &length) != 1) {
        ERR_clear_error();
        return false;
    }
    bytes.resize(length);
    ByteBuffer raw(std::move(bytes));
    if (!base64) {
        out = std::move(raw);
        return true;
    }
    ZLibEncryptHelper codec;
    return codec.Encode(raw, out, base64_mode);
}

void CertHelperOpenSSLImpl::Reset()
{
    m_context.reset();
    m_key.reset();
}

}
