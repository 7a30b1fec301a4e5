#pragma once
// Owners for what reading a file's Authenticode signature hands out: the certificate store and
// the signed message found in the file, and certificates taken from a store.
#include "base/Unique.h"

#include <wincrypt.h>

// A store is closed without flags: certificates still taken from it keep it alive.
inline BOOL CloseCertStore(HCERTSTORE store) noexcept { return ::CertCloseStore(store, 0); }

using UniqueCertStore = Unique<NullIsEmpty<HCERTSTORE, &CloseCertStore>>;
using UniqueCryptMsg = Unique<NullIsEmpty<HCRYPTMSG, &::CryptMsgClose>>;
using UniqueCertContext = Unique<NullIsEmpty<PCCERT_CONTEXT, &::CertFreeCertificateContext>>;
