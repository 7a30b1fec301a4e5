#pragma once
// One WinVerifyTrust check of an open file's Authenticode signature, with the provider's state
// kept open for as long as the object lives, so that the signer's certificate can be read; the
// state is closed with the same record that opened it. Neither copied nor moved: the record
// points into the object itself.
#include "base/Win.h"

#include <softpub.h>
#include <wintrust.h>

#include <string>

class TrustCheck {
public:
    // Reads the file through its handle, so that what is checked is what the caller holds; the
    // path only names it. Both are borrowed and must outlive the check: the close hands the
    // same record back. Verifies without any user interface and without revocation or other
    // look-ups over the network: the check runs on the UI thread and must not wait on a server.
    TrustCheck(HANDLE file, const std::wstring& path) noexcept
    {
        m_file.cbStruct = sizeof(m_file);
        m_file.pcwszFilePath = path.c_str();
        m_file.hFile = file;
        m_data.cbStruct = sizeof(m_data);
        m_data.dwUIChoice = WTD_UI_NONE;
        m_data.fdwRevocationChecks = WTD_REVOKE_NONE;
        m_data.dwUnionChoice = WTD_CHOICE_FILE;
        m_data.pFile = &m_file;
        m_data.dwStateAction = WTD_STATEACTION_VERIFY;
        m_data.dwProvFlags = WTD_REVOCATION_CHECK_NONE | WTD_CACHE_ONLY_URL_RETRIEVAL;
        m_result = ::WinVerifyTrust(static_cast<HWND>(INVALID_HANDLE_VALUE), &m_action, &m_data);
    }
    TrustCheck(const TrustCheck&) = delete;
    TrustCheck& operator=(const TrustCheck&) = delete;
    ~TrustCheck()
    {
        if (!m_data.hWVTStateData)
            return;
        m_data.dwStateAction = WTD_STATEACTION_CLOSE;
        (void)::WinVerifyTrust(static_cast<HWND>(INVALID_HANDLE_VALUE), &m_action, &m_data);
    }

    // 0 when the signature verifies; TRUST_E_NOSIGNATURE when there is none, and so on.
    [[nodiscard]] LONG Result() const noexcept { return m_result; }

    // The certificate that signed the file, borrowed from the check's state; null when the
    // signature did not verify or names no signer.
    [[nodiscard]] PCCERT_CONTEXT Signer() const noexcept
    {
        if (m_result != 0 || !m_data.hWVTStateData)
            return nullptr;
        CRYPT_PROVIDER_DATA* provider = ::WTHelperProvDataFromStateData(m_data.hWVTStateData);
        CRYPT_PROVIDER_SGNR* signer =
            provider ? ::WTHelperGetProvSignerFromChain(provider, 0, FALSE, 0) : nullptr;
        CRYPT_PROVIDER_CERT* cert = signer ? ::WTHelperGetProvCertFromChain(signer, 0) : nullptr;
        return cert ? cert->pCert : nullptr;
    }

private:
    GUID m_action = WINTRUST_ACTION_GENERIC_VERIFY_V2;
    WINTRUST_FILE_INFO m_file{};
    WINTRUST_DATA m_data{};
    LONG m_result = TRUST_E_NOSIGNATURE;
};
