#include "platform/net/testing/TestPKI.h"

#include <stdlib.h>
#include <unistd.h>

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <functional>
#include <stdexcept>

namespace wv::net::testing {

namespace {

const char* kConfig = R"(
[req]
distinguished_name = dn
prompt = no
[dn]
CN = placeholder
[ca]
default_ca = testca
[testca]
database = index.txt
new_certs_dir = .
serial = serial
default_md = sha256
policy = anything
unique_subject = no
copy_extensions = none
[anything]
commonName = supplied
[root_ext]
basicConstraints = critical,CA:TRUE
keyUsage = critical,keyCertSign,cRLSign
subjectKeyIdentifier = hash
[intermediate_ext]
basicConstraints = critical,CA:TRUE,pathlen:0
keyUsage = critical,keyCertSign,cRLSign
subjectKeyIdentifier = hash
authorityKeyIdentifier = keyid
[leaf_ext]
basicConstraints = critical,CA:FALSE
keyUsage = critical,digitalSignature
extendedKeyUsage = serverAuth
subjectAltName = IP:127.0.0.1,DNS:localhost
[wrong_ext]
basicConstraints = critical,CA:FALSE
keyUsage = critical,digitalSignature
extendedKeyUsage = serverAuth
subjectAltName = DNS:wrong.invalid
)";

const char* kScript = R"(set -e
KEY="-newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes"
root() { openssl req -x509 -config t.cnf $KEY -keyout $1.key -out $1.pem -days 3650 -subj "/CN=$2" -extensions root_ext; }
csr() { openssl req -new -config t.cnf $KEY -keyout $1.key -out $1.csr -subj "/CN=$2"; }
sign() { openssl x509 -req -in $1.csr -CA $2.pem -CAkey $2.key -set_serial $4 -out $1.pem -days 30 -extfile t.cnf -extensions $3; }
root rootA "Wovanu Test Root A"
root rootB "Wovanu Test Root B"
csr inter "Wovanu Test Intermediate A"
openssl x509 -req -in inter.csr -CA rootA.pem -CAkey rootA.key -set_serial 2 -out inter.pem -days 365 -extfile t.cnf -extensions intermediate_ext
csr leafA 127.0.0.1; sign leafA rootA leaf_ext 3
csr leafI 127.0.0.1; sign leafI inter leaf_ext 4; cat inter.pem >> leafI.pem
csr leafB 127.0.0.1; sign leafB rootB leaf_ext 5
csr wrong wrong.invalid; sign wrong rootA wrong_ext 6
csr expired 127.0.0.1
: > index.txt; echo 07 > serial
openssl ca -batch -config t.cnf -cert rootA.pem -keyfile rootA.key -in expired.csr -out expired.pem -startdate 20200101000000Z -enddate 20200201000000Z -extfile t.cnf -extensions leaf_ext -notext
openssl req -x509 -config t.cnf $KEY -keyout self.key -out self.pem -days 30 -subj /CN=127.0.0.1 -extensions leaf_ext
)";

}  // namespace

// Every test case runs in a process of its own, so the set is made once a day per user and
// script and shared: made in a private folder, then renamed into place, so a reader never
// sees half a set.
TestPKI::TestPKI() {
    char day[16];
    const std::time_t now = std::time(nullptr);
    std::strftime(day, sizeof day, "%Y%m%d", std::gmtime(&now));
    const size_t hash = std::hash<std::string>{}(std::string(kConfig) + kScript);
    const std::string shared = "/tmp/wovanu-pki-" + std::to_string(::getuid()) + "-" +
                               std::to_string(hash % 1000000007) + "-" + day;
    if (std::filesystem::exists(shared + "/self.pem")) {
        dir_ = shared;
        return;
    }
    char pattern[] = "/tmp/wovanu-pki-new-XXXXXX";
    const char* made = mkdtemp(pattern);
    if (!made) throw std::runtime_error("mkdtemp failed for the test certificates");
    const std::string fresh = made;
    std::ofstream(fresh + "/t.cnf") << kConfig;
    std::ofstream(fresh + "/make.sh") << kScript;
    const std::string command = "cd '" + fresh + "' && sh make.sh >make.log 2>&1";
    if (std::system(command.c_str()) != 0)
        throw std::runtime_error("openssl could not make the test certificates; see " + fresh +
                                 "/make.log");
    if (::rename(fresh.c_str(), shared.c_str()) == 0) {
        dir_ = shared;
    } else {
        // Another process won the race; its set is as good as ours.
        std::error_code ec;
        std::filesystem::remove_all(fresh, ec);
        dir_ = shared;
    }
}

const TestPKI& TestPKI::shared() {
    static const TestPKI pki;
    return pki;
}

Certificate TestPKI::rootA() const { return Certificate::fromPEMFile(rootAPath()).at(0); }
Certificate TestPKI::rootB() const { return Certificate::fromPEMFile(rootBPath()).at(0); }
TlsIdentity TestPKI::leafA() const { return {dir_ + "/leafA.pem", dir_ + "/leafA.key"}; }
TlsIdentity TestPKI::leafAViaIntermediate() const {
    return {dir_ + "/leafI.pem", dir_ + "/leafI.key"};
}
TlsIdentity TestPKI::leafB() const { return {dir_ + "/leafB.pem", dir_ + "/leafB.key"}; }
TlsIdentity TestPKI::wrongHostA() const { return {dir_ + "/wrong.pem", dir_ + "/wrong.key"}; }
TlsIdentity TestPKI::expiredA() const { return {dir_ + "/expired.pem", dir_ + "/expired.key"}; }
TlsIdentity TestPKI::selfSigned() const { return {dir_ + "/self.pem", dir_ + "/self.key"}; }

}  // namespace wv::net::testing
