#include "core/http/tests/TestKeys.h"

#include <openssl/bio.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/rsa.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

#include <memory>
#include <stdexcept>
#include <vector>

namespace http_testing {

namespace {

using Key = std::unique_ptr<EVP_PKEY, decltype(&EVP_PKEY_free)>;
using Bio = std::unique_ptr<BIO, decltype(&BIO_free)>;

std::string drain(BIO* bio)
{
    char* data = nullptr;
    const long length = BIO_get_mem_data(bio, &data);
    return std::string(data, static_cast<std::size_t>(length));
}

Key new_key()
{
    Key key(EVP_RSA_gen(2048), &EVP_PKEY_free);
    if (!key)
        throw std::runtime_error("no RSA key");
    return key;
}

std::string private_pem(EVP_PKEY* key)
{
    Bio bio(BIO_new(BIO_s_mem()), &BIO_free);
    PEM_write_bio_PrivateKey(bio.get(), key, nullptr, nullptr, 0, nullptr, nullptr);
    return drain(bio.get());
}

}

KeyPair make_rsa_key()
{
    Key key = new_key();
    Bio bio(BIO_new(BIO_s_mem()), &BIO_free);
    PEM_write_bio_PUBKEY(bio.get(), key.get());
    return {drain(bio.get()), private_pem(key.get())};
}

SelfSigned make_self_signed()
{
    Key key = new_key();
    std::unique_ptr<X509, decltype(&X509_free)> cert(X509_new(), &X509_free);
    X509_set_version(cert.get(), 2);
    ASN1_INTEGER_set(X509_get_serialNumber(cert.get()), 1);
    X509_gmtime_adj(X509_getm_notBefore(cert.get()), -3600);
    X509_gmtime_adj(X509_getm_notAfter(cert.get()), 3600);
    X509_set_pubkey(cert.get(), key.get());
    X509_NAME* name = X509_get_subject_name(cert.get());
    X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC, reinterpret_cast<const unsigned char*>("localhost"), -1, -1, 0);
    X509_set_issuer_name(cert.get(), name);
    X509V3_CTX context;
    X509V3_set_ctx_nodb(&context);
    X509V3_set_ctx(&context, cert.get(), cert.get(), nullptr, nullptr, 0);
    X509_EXTENSION* alt = X509V3_EXT_conf_nid(nullptr, &context, NID_subject_alt_name, "DNS:localhost,IP:127.0.0.1");
    X509_add_ext(cert.get(), alt, -1);
    X509_EXTENSION_free(alt);
    X509_sign(cert.get(), key.get(), EVP_sha256());
    Bio bio(BIO_new(BIO_s_mem()), &BIO_free);
    PEM_write_bio_X509(bio.get(), cert.get());
    return {drain(bio.get()), private_pem(key.get())};
}

std::string sign_base64(const std::string& private_key, const std::string& bytes)
{
    Bio in(BIO_new_mem_buf(private_key.data(), static_cast<int>(private_key.size())), &BIO_free);
    Key key(PEM_read_bio_PrivateKey(in.get(), nullptr, nullptr, nullptr), &EVP_PKEY_free);
    std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)> context(EVP_MD_CTX_new(), &EVP_MD_CTX_free);
    std::size_t length = 0;
    if (!key || EVP_DigestSignInit(context.get(), nullptr, EVP_sha256(), nullptr, key.get()) != 1 ||
        EVP_DigestSignUpdate(context.get(), bytes.data(), bytes.size()) != 1 ||
        EVP_DigestSignFinal(context.get(), nullptr, &length) != 1)
        throw std::runtime_error("cannot sign");
    std::vector<unsigned char> signature(length);
    EVP_DigestSignFinal(context.get(), signature.data(), &length);
    std::string text(4 * ((length + 2) / 3) + 1, '\0');
    const int written = EVP_EncodeBlock(reinterpret_cast<unsigned char*>(text.data()), signature.data(),
                                        static_cast<int>(length));
    text.resize(static_cast<std::size_t>(written));
    return text;
}

}
