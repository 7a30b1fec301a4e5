#include "tools/pagescript/PageLocation.h"

namespace pagescript {
namespace {

enum LocationId : DISPID { kHref = 1, kSearch, kToString };

struct MemberName {
    const wchar_t* name;
    DISPID id;
};
constexpr MemberName kMembers[] = {
    {L"href", kHref}, {L"search", kSearch}, {L"toString", kToString}};

HRESULT ReturnText(std::wstring_view text, VARIANT* result) noexcept
{
    if (!result)
        return S_OK;
    V_VT(result) = VT_BSTR;
    V_BSTR(result) = ::SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    return V_BSTR(result) ? S_OK : E_OUTOFMEMORY;
}

} // namespace

std::wstring_view PageLocation::SearchOf(std::wstring_view url) noexcept
{
    const size_t fragment = url.find(L'#');
    url = url.substr(0, fragment);
    const size_t query = url.find(L'?');
    return query == std::wstring_view::npos ? std::wstring_view() : url.substr(query);
}

HRESULT PageLocation::GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) noexcept
{
    if (!names || !ids || count == 0)
        return E_INVALIDARG;
    for (UINT i = 0; i < count; ++i)
        ids[i] = DISPID_UNKNOWN;
    for (const MemberName& member : kMembers) {
        if (names[0] && ::lstrcmpW(names[0], member.name) == 0) {
            ids[0] = member.id;
            return count == 1 ? S_OK : DISP_E_UNKNOWNNAME;
        }
    }
    return DISP_E_UNKNOWNNAME;
}

HRESULT PageLocation::Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS*, VARIANT* result,
                             EXCEPINFO*, UINT*) noexcept
{
    if ((flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) != 0)
        return DISP_E_MEMBERNOTFOUND;
    switch (id) {
    case DISPID_VALUE:
    case kHref:
    case kToString:
        return ReturnText(m_strUrl, result);
    case kSearch:
        return ReturnText(SearchOf(m_strUrl), result);
    default:
        return DISP_E_MEMBERNOTFOUND;
    }
}

} // namespace pagescript
