#pragma once

#include <httplib.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <string_view>
#include <thread>

namespace tessaly::test {

// Writes a key and a certificate for 127.0.0.1 that signs itself, so no
// system store trusts it; named as a file of trusted authorities, it is
// trusted (it may sign, and it names the address as its subject's).
inline void writeSelfSignedCertificate(const std::string& certificatePath,
                                       const std::string& keyPath)
{
    EVP_PKEY* key = EVP_RSA_gen(2048);
    X509* certificate = X509_new();
    X509_set_version(certificate, 2);
    ASN1_INTEGER_set(X509_get_serialNumber(certificate), 1);
    X509_gmtime_adj(X509_getm_notBefore(certificate), 0);
    X509_gmtime_adj(X509_getm_notAfter(certificate), 3600);
    X509_set_pubkey(certificate, key);
    X509_NAME* name = X509_get_subject_name(certificate);
    X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC,
                               reinterpret_cast<const unsigned char*>("127.0.0.1"), -1, -1, 0);
    X509_set_issuer_name(certificate, name);
    X509V3_CTX context;
    X509V3_set_ctx_nodb(&context);
    X509V3_set_ctx(&context, certificate, certificate, nullptr, nullptr, 0);
    for (const auto& [id, value] : {std::pair{NID_subject_alt_name, "IP:127.0.0.1"},
                                    std::pair{NID_basic_constraints, "critical,CA:TRUE"}}) {
        X509_EXTENSION* extension = X509V3_EXT_conf_nid(nullptr, &context, id, value);
        X509_add_ext(certificate, extension, -1);
        X509_EXTENSION_free(extension);
    }
    X509_sign(certificate, key, EVP_sha256());
    FILE* out = std::fopen(certificatePath.c_str(), "w");
    PEM_write_X509(out, certificate);
    std::fclose(out);
    out = std::fopen(keyPath.c_str(), "w");
    PEM_write_PrivateKey(out, key, nullptr, nullptr, 0, nullptr, nullptr);
    std::fclose(out);
    X509_free(certificate);
    EVP_PKEY_free(key);
}

// An https server on a free loopback port with a certificate of its own
// (see writeSelfSignedCertificate), answering from this process.
class LocalTlsServer {
public:
    // `folder` receives cert.pem and key.pem.
    explicit LocalTlsServer(const std::string& folder) : files_(folder)
    {
        port_ = server.bind_to_any_port("127.0.0.1");
        thread_ = std::thread([this] { server.listen_after_bind(); });
        while (!server.is_running()) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }
    ~LocalTlsServer()
    {
        server.stop();
        thread_.join();
    }
    LocalTlsServer(const LocalTlsServer&) = delete;
    LocalTlsServer& operator=(const LocalTlsServer&) = delete;

    std::string url(std::string_view path) const
    {
        return "https://127.0.0.1:" + std::to_string(port_) + std::string{path};
    }
    const std::string& certificate() const { return files_.certificate; }

private:
    // Written before the server, which reads them, is made.
    struct Files {
        explicit Files(const std::string& folder)
            : certificate(folder + "/cert.pem"), key(folder + "/key.pem")
        {
            writeSelfSignedCertificate(certificate, key);
        }
        std::string certificate;
        std::string key;
    } files_;

public:
    httplib::SSLServer server{files_.certificate.c_str(), files_.key.c_str()};

private:
    int port_ = 0;
    std::thread thread_;
};

} // namespace tessaly::test
