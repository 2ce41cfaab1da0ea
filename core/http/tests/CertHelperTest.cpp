#include "components/common/libutil/ByteBuffer.h"
#include "core/http/CertHelper.h"
#include "core/http/tests/TestKeys.h"
#include "platform/fs/testing/TempFolder.h"

#include <gtest/gtest.h>

#include <fstream>

using LibUtil::ByteBuffer;
using LibUtil::CertHelperOpenSSLImpl;

namespace {

class CertHelperTest : public testing::Test {
protected:
    void SetUp() override
    {
        keys = http_testing::make_rsa_key();
        write("public.key", keys.public_pem);
        write("private.key", keys.private_pem);
    }

    std::string write(const std::string& name, const std::string& text)
    {
        const std::string path = folder / name;
        std::ofstream(path) << text;
        return path;
    }
    std::string path(const std::string& name) const { return folder / name; }

    bool verify(const std::string& data, const std::string& signature, bool base64)
    {
        auto helper = CertHelperOpenSSLImpl::Create();
        return helper->LoadPublicKey(path("public.key")) && helper->AddData(ByteBuffer(std::string_view(data))) &&
               helper->Verify(ByteBuffer(std::string_view(signature)), base64);
    }

    plat::TempFolder folder;
    http_testing::KeyPair keys;
};

}

TEST_F(CertHelperTest, SignatureOfTheSameBytesVerifies)
{
    auto signer = CertHelperOpenSSLImpl::Create();
    ASSERT_TRUE(signer->LoadPrivateKey("", path("private.key")));
    ASSERT_TRUE(signer->AddData(ByteBuffer(std::string_view("first "))));
    ASSERT_TRUE(signer->AddData(ByteBuffer(std::string_view("second"))));
    ByteBuffer signature;
    ASSERT_TRUE(signer->Sign(signature, true));

    EXPECT_TRUE(verify("first second", signature.ToString(), true));
    EXPECT_EQ(signature.ToString(), http_testing::sign_base64(keys.private_pem, "first second"));
}

TEST_F(CertHelperTest, WrongOrBrokenSignaturesDoNotVerify)
{
    const std::string good = http_testing::sign_base64(keys.private_pem, "payload");
    const std::string other_key = http_testing::sign_base64(http_testing::make_rsa_key().private_pem, "payload");
    const struct {
        const char* what;
        std::string data;
        std::string signature;
    } cases[] = {
        {"other data", "payloaD", good},
        {"other key", "payload", other_key},
        {"not base64", "payload", "@@@@"},
        {"too short for the key", "payload", "AAAA"},
        {"empty", "payload", ""},
    };
    ASSERT_TRUE(verify("payload", good, true));
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_FALSE(verify(c.data, c.signature, true));
    }
}

TEST_F(CertHelperTest, HelperWithoutKeyRefusesEverything)
{
    write("garbage.key", "-----BEGIN PUBLIC KEY-----\nnot a key\n-----END PUBLIC KEY-----\n");
    for (const auto* name : {"missing.key", "garbage.key"}) {
        SCOPED_TRACE(name);
        auto helper = CertHelperOpenSSLImpl::Create();
        EXPECT_FALSE(helper->LoadPublicKey(path(name)));
        EXPECT_FALSE(helper->AddData(ByteBuffer(std::string_view("x"))));
        EXPECT_FALSE(helper->Verify(ByteBuffer(std::string_view("AAAA")), true));
        ByteBuffer out;
        EXPECT_FALSE(helper->Sign(out, true));
    }
    // A good key loaded after a failed one works again.
    auto helper = CertHelperOpenSSLImpl::Create();
    EXPECT_FALSE(helper->LoadPublicKey(path("garbage.key")));
    EXPECT_TRUE(helper->LoadPublicKey(path("public.key")));
}
