#pragma once
// Signatures of a file's bytes with a PEM key: SHA-256 digests, verified with
// a public key or made with a private one.

#include <memory>
#include <string>

namespace LibUtil {

class ByteBuffer;

class ICertHelper {
public:
    virtual ~ICertHelper() = default;
    // Each load drops the key held before; false leaves the helper without a key.
    virtual bool LoadPublicKey(const std::string& path) = 0;
    virtual bool LoadPrivateKey(const std::string& password, const std::string& path) = 0;
    // False without a key.
    virtual bool AddData(const ByteBuffer& data) = 0;
    // True only for a correct signature of the data added since the load;
    // base64: the signature is Base64 text. An OpenSSL error counts as not verified.
    virtual bool Verify(const ByteBuffer& signature, bool base64) = 0;
    // The signature of the data added since the load, raw or as Base64 text.
    virtual bool Sign(ByteBuffer& out, bool base64) = 0;
    virtual void Reset() = 0;
};

class CertHelperOpenSSLImpl final : public ICertHelper {
public:
    static std::unique_ptr<ICertHelper> Create();
    ~CertHelperOpenSSLImpl() override;

    bool LoadPublicKey(const std::string& path) override;
    bool LoadPrivateKey(const std::string& password, const std::string& path) override;
    bool AddData(const ByteBuffer& data) override;
    bool Verify(const ByteBuffer& signature, bool base64) override;
    bool Sign(ByteBuffer& out, bool base64) override;
    void Reset() override;

private:
    CertHelperOpenSSLImpl() = default;
    enum class Use { Verify, Sign };
    bool start_digest(Use use);

    struct KeyFree {
        void operator()(void* key) const;
    };
    struct ContextFree {
        void operator()(void* context) const;
    };
    std::unique_ptr<void, KeyFree> m_key;             // EVP_PKEY
    std::unique_ptr<void, ContextFree> m_context;     // EVP_MD_CTX, set up for m_use
    Use m_use = Use::Verify;
};

}
