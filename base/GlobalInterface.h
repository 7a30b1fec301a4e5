#pragma once
// An interface registered in COM's Global Interface Table, so that other apartments can fetch
// a proxy to it by its cookie. The registration keeps the object alive until it is revoked,
// which this owner does when it goes or is reset.
#include "base/Win.h"

#include <objidl.h>
#include <wrl/client.h>

#include <utility>

class GlobalInterfaceRegistration {
public:
    GlobalInterfaceRegistration() noexcept = default;
    GlobalInterfaceRegistration(GlobalInterfaceRegistration&& other) noexcept
        : m_table(std::move(other.m_table)), m_dwCookie(std::exchange(other.m_dwCookie, 0))
    {
    }
    GlobalInterfaceRegistration& operator=(GlobalInterfaceRegistration&& other) noexcept
    {
        if (this != &other) {
            Revoke();
            m_table = std::move(other.m_table);
            m_dwCookie = std::exchange(other.m_dwCookie, 0);
        }
        return *this;
    }
    GlobalInterfaceRegistration(const GlobalInterfaceRegistration&) = delete;
    GlobalInterfaceRegistration& operator=(const GlobalInterfaceRegistration&) = delete;
    ~GlobalInterfaceRegistration() { Revoke(); }

    // Registers the object under the interface; false (and nothing held) on failure.
    [[nodiscard]] bool Register(IGlobalInterfaceTable* table, IUnknown* object,
                                REFIID iid) noexcept
    {
        Revoke();
        DWORD cookie = 0;
        if (!table || !object || FAILED(table->RegisterInterfaceInGlobal(object, iid, &cookie)))
            return false;
        m_table = table;
        m_dwCookie = cookie;
        return true;
    }
    void Revoke() noexcept
    {
        if (m_dwCookie != 0 && m_table)
            (void)m_table->RevokeInterfaceFromGlobal(m_dwCookie);
        m_dwCookie = 0;
        m_table.Reset();
    }
    [[nodiscard]] DWORD Cookie() const noexcept { return m_dwCookie; }
    explicit operator bool() const noexcept { return m_dwCookie != 0; }

private:
    Microsoft::WRL::ComPtr<IGlobalInterfaceTable> m_table;
    DWORD m_dwCookie = 0;
};
