#include "app/Publisher.h"

#include "base/Crypt.h"
#include "base/WinTrust.h"

#include <string_view>
#include <vector>

namespace app {
namespace {

std::vector<BYTE> Bytes(const CRYPT_DATA_BLOB& blob)
{
    return {blob.pbData, blob.pbData + blob.cbData};
}

Publisher PublisherOf(PCCERT_CONTEXT cert)
{
    return {Bytes(cert->pCertInfo->Subject), Bytes(cert->pCertInfo->Issuer)};
}

// The key as the certificate carries it, encoded again: DER has one encoding per value, so this
// is the certificate's own SubjectPublicKeyInfo, byte for byte.
std::optional<KeyHash> KeyHashOf(PCCERT_CONTEXT cert)
{
    const CERT_PUBLIC_KEY_INFO* key = &cert->pCertInfo->SubjectPublicKeyInfo;
    DWORD size = 0;
    if (!::CryptEncodeObject(X509_ASN_ENCODING, X509_PUBLIC_KEY_INFO, key, nullptr, &size))
        return std::nullopt;
    std::vector<BYTE> encoded(size);
    KeyHash hash{};
    DWORD hashSize = hash.size();
    // CNG's name for SHA-256 (BCRYPT_SHA256_ALGORITHM).
    if (!::CryptEncodeObject(X509_ASN_ENCODING, X509_PUBLIC_KEY_INFO, key, encoded.data(),
                             &size) ||
        !::CryptHashCertificate2(L"SHA256", 0, nullptr, encoded.data(), size, hash.data(),
                                 &hashSize) ||
        hashSize != hash.size())
        return std::nullopt;
    return hash;
}

// Only a certificate whose extended key usage names code signing: one without the extension
// would do for anything, and one for a web server is no code signer.
bool AllowsCodeSigning(PCCERT_CONTEXT cert)
{
    DWORD size = 0;
    if (!::CertGetEnhancedKeyUsage(cert, CERT_FIND_EXT_ONLY_ENHKEY_USAGE_FLAG, nullptr, &size) ||
        size == 0)
        return false;
    std::vector<BYTE> buffer(size);
    auto* usage = reinterpret_cast<CERT_ENHKEY_USAGE*>(buffer.data());
    if (!::CertGetEnhancedKeyUsage(cert, CERT_FIND_EXT_ONLY_ENHKEY_USAGE_FLAG, usage, &size))
        return false;
    for (DWORD i = 0; i < usage->cUsageIdentifier; ++i) {
        if (std::string_view(usage->rgpszUsageIdentifier[i]) == szOID_PKIX_KP_CODE_SIGNING)
            return true;
    }
    return false;
}

// The signer's certificate, found in the signature's own store by the issuer and serial number
// that the signer information names.
UniqueCertContext FindSignerCertificate(HCERTSTORE store, HCRYPTMSG message)
{
    DWORD size = 0;
    if (!::CryptMsgGetParam(message, CMSG_SIGNER_INFO_PARAM, 0, nullptr, &size) || size == 0)
        return {};
    std::vector<BYTE> buffer(size);
    if (!::CryptMsgGetParam(message, CMSG_SIGNER_INFO_PARAM, 0, buffer.data(), &size))
        return {};
    const auto* signer = reinterpret_cast<const CMSG_SIGNER_INFO*>(buffer.data());
    CERT_INFO wanted{};
    wanted.Issuer = signer->Issuer;
    wanted.SerialNumber = signer->SerialNumber;
    return UniqueCertContext(
        ::CertFindCertificateInStore(store, X509_ASN_ENCODING | PKCS_7_ASN_ENCODING, 0,
                                     CERT_FIND_SUBJECT_CERT, &wanted, nullptr));
}

} // namespace

std::optional<Publisher> ReadWrittenPublisher(const std::wstring& path) noexcept
{
    try {
        UniqueCertStore store;
        UniqueCryptMsg message;
        if (!::CryptQueryObject(CERT_QUERY_OBJECT_FILE, path.c_str(),
                                CERT_QUERY_CONTENT_FLAG_PKCS7_SIGNED_EMBED,
                                CERT_QUERY_FORMAT_FLAG_BINARY, 0, nullptr, nullptr, nullptr,
                                store.Put(), message.Put(), nullptr))
            return std::nullopt;
        const UniqueCertContext cert = FindSignerCertificate(store.Get(), message.Get());
        if (!cert)
            return std::nullopt;
        return PublisherOf(cert.Get());
    } catch (...) {
        return std::nullopt;
    }
}

VerifiedSignature VerifySignature(HANDLE file, const std::wstring& path) noexcept
{
    try {
        const TrustCheck check(file, path);
        VerifiedSignature result;
        result.trust = check.Result();
        PCCERT_CONTEXT cert = check.Signer();
        const std::optional<KeyHash> key = cert ? KeyHashOf(cert) : std::nullopt;
        if (key)
            result.signer = Signer{PublisherOf(cert), *key, AllowsCodeSigning(cert)};
        return result;
    } catch (...) {
        return {};
    }
}

} // namespace app
