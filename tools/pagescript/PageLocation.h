#pragma once
// pagescript's `location`: the address of the script's document as a page reads it, whole
// (href, and the object's own value where a script makes it a string) and its query (search,
// from "?" up to any "#", or empty). Read-only: a script cannot navigate.
#include "framework/DispatchObject.h"

#include <string>
#include <string_view>

namespace pagescript {

class PageLocation : public framework::DispatchObject<> {
public:
    explicit PageLocation(std::wstring url) noexcept : m_strUrl(std::move(url)) {}
    PageLocation(const PageLocation&) = delete;
    PageLocation& operator=(const PageLocation&) = delete;
    virtual ~PageLocation() = default;

    // The query of an address with its "?", without a fragment; empty when it has none.
    [[nodiscard]] static std::wstring_view SearchOf(std::wstring_view url) noexcept;

    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID,
                                            DISPID* ids) noexcept override;
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params,
                                     VARIANT* result, EXCEPINFO* exception,
                                     UINT* argError) noexcept override;

private:
    std::wstring m_strUrl;
};

} // namespace pagescript
