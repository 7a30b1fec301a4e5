#pragma once
// Owners for what reading a file's Authenticode signature hands out: the certificate store and
// the signed message found in the file, and certificates taken from a store.
#include "base/Unique.h"

#include <wincrypt.h>

struct CertStoreTraits {
    using Handle = HCERTSTORE;
    static HCERTSTORE Empty() noexcept { return nullptr; }
    static void Close(HCERTSTORE h) noexcept { ::CertCloseStore(h, 0); }
};
using UniqueCertStore = Unique<CertStoreTraits>;

struct CryptMsgTraits {
    using Handle = HCRYPTMSG;
    static HCRYPTMSG Empty() noexcept { return nullptr; }
    static void Close(HCRYPTMSG h) noexcept { ::CryptMsgClose(h); }
};
using UniqueCryptMsg = Unique<CryptMsgTraits>;

struct CertContextTraits {
    using Handle = PCCERT_CONTEXT;
    static PCCERT_CONTEXT Empty() noexcept { return nullptr; }
    static void Close(PCCERT_CONTEXT h) noexcept { ::CertFreeCertificateContext(h); }
};
using UniqueCertContext = Unique<CertContextTraits>;
