#include "platform/net/Certificate.h"

#include <gtest/gtest.h>

#include <functional>

#include "platform/net/testing/TestPKI.h"

namespace wv::net {
namespace {

using testing::TestPKI;

// Where the DER element at `at` ends, for finding the fields of a well-formed fixture.
size_t endOf(const std::vector<uint8_t>& b, size_t at) {
    size_t length = b[at + 1];
    size_t header = 2;
    if (length & 0x80) {
        header += length & 0x7f;
        length = 0;
        for (size_t i = 2; i < header; ++i) length = (length << 8) | b[at + i];
    }
    return at + header + length;
}

// Only one whole DER certificate is taken: the shape is checked without parsing it, so every
// way the bytes can be cut, padded or relabelled must still be refused.
TEST(Certificate, OnlyOneWholeDERCertificateIsTaken) {
    const std::vector<uint8_t> der = TestPKI::shared().rootA().der();
    ASSERT_GT(der.size(), 300u);
    ASSERT_EQ(der[0], 0x30);
    ASSERT_EQ(der[1], 0x82) << "a root of this size has a two-byte length";
    const size_t tbs = 4;  // where the to-be-signed sequence starts
    ASSERT_EQ(der[tbs + 1], 0x82);
    ASSERT_EQ(der[tbs + 4], 0xa0) << "a version";
    const size_t serial = endOf(der, tbs + 4);
    ASSERT_EQ(der[serial], 0x02);
    const size_t signature = endOf(der, endOf(der, tbs));
    ASSERT_EQ(der[signature], 0x03);

    struct Case {
        const char* what;
        std::function<void(std::vector<uint8_t>&)> change;
        bool taken;
    };
    const std::vector<Case> cases = {
        {"as made", [](auto&) {}, true},
        {"one byte short", [](auto& b) { b.pop_back(); }, false},
        {"one byte more", [](auto& b) { b.push_back(0); }, false},
        {"a second certificate behind it",
         [&](auto& b) { b.insert(b.end(), der.begin(), der.end()); }, false},
        {"not a sequence", [](auto& b) { b[0] = 0x31; }, false},
        {"a length past the end", [](auto& b) { b[3] += 1; }, false},
        {"a length in a longer form than it needs",
         [](auto& b) {
             b[1] = 0x83;
             b.insert(b.begin() + 2, 0);
         },
         false},
        {"an indefinite length", [](auto& b) { b[1] = 0x80; }, false},
        {"no serial number", [&](auto& b) { b[serial] = 0x04; }, false},
        {"a signature that is no bit string", [&](auto& b) { b[signature] = 0x04; }, false},
        {"the header alone", [](auto& b) { b.resize(4); }, false},
    };
    for (const Case& c : cases) {
        auto bytes = der;
        c.change(bytes);
        auto certificate = Certificate::fromDER(bytes.data(), bytes.size());
        EXPECT_EQ(certificate.has_value(), c.taken) << c.what;
        if (certificate) EXPECT_EQ(certificate->der(), bytes) << c.what;
    }
    EXPECT_FALSE(Certificate::fromDER(nullptr, 10));
    EXPECT_FALSE(Certificate::fromDER(der.data(), 0));
}

TEST(Certificate, CopiesShareTheBytesAndAreReadWhenAsked) {
    const Certificate root = TestPKI::shared().rootA();
    const Certificate copy = root;
    EXPECT_EQ(copy.derBytes(), root.derBytes());
    EXPECT_EQ(copy.subjectCommonName(), "Wovanu Test Root A");
    EXPECT_FALSE(Certificate());
    EXPECT_EQ(Certificate().subjectCommonName(), "");
    EXPECT_TRUE(Certificate().der().empty());
}

}  // namespace
}  // namespace wv::net
