#pragma once
// Keys and certificates made by the tests themselves.

#include <string>

namespace http_testing {

struct KeyPair {
    std::string public_pem;
    std::string private_pem;   // unencrypted
};

// A fresh 2048-bit RSA key.
KeyPair make_rsa_key();

// A self-signed certificate for "localhost" and 127.0.0.1 over a fresh key, both PEM.
struct SelfSigned {
    std::string certificate_pem;
    std::string key_pem;
};
SelfSigned make_self_signed();

// Signs bytes with the private key (SHA-256), as Base64 text.
std::string sign_base64(const std::string& private_pem, const std::string& bytes);

}
