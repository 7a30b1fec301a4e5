#include "app/Publisher.h"

#include "base/Crypt.h"
#include "base/WinTrust.h"

#include <vector>

namespace app {
namespace {

std::wstring SubjectAttribute(PCCERT_CONTEXT cert, const char* oid)
{
    // The count includes the terminating NUL; a missing attribute gives an empty text.
    const DWORD count =
        ::CertGetNameStringW(cert, CERT_NAME_ATTR_TYPE, 0, const_cast<char*>(oid), nullptr, 0);
    if (count <= 1)
        return {};
    std::wstring text(count, L'\0');
    (void)::CertGetNameStringW(cert, CERT_NAME_ATTR_TYPE, 0, const_cast<char*>(oid), text.data(),
                               count);
    text.resize(count - 1);
    return text;
}

Publisher PublisherOf(PCCERT_CONTEXT cert)
{
    return {SubjectAttribute(cert, szOID_COMMON_NAME),
            SubjectAttribute(cert, szOID_ORGANIZATION_NAME)};
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
        if (PCCERT_CONTEXT signer = check.Signer())
            result.publisher = PublisherOf(signer);
        return result;
    } catch (...) {
        return {};
    }
}

} // namespace app
