#include "web/BridgeTable.h"

#include "web/HtmlCtrl.h"

using framework::DispMethod;

namespace {

// The page depends on these positions: the identifier of a method is its place in this list.
constexpr framework::DispatchEntry<CHtmlCtrl> kBridgeMethods[] = {
    DispMethod<&CHtmlCtrl::GetVersion, VT_I4>(L"GetVersion"),
    DispMethod<&CHtmlCtrl::MoveWindow, VT_EMPTY>(L"MoveWindow"),
    DispMethod<&CHtmlCtrl::GetMainWindow, VT_I4>(L"GetMainWindow"),
    DispMethod<&CHtmlCtrl::SendMessage, VT_I4>(L"SendMessage"),
    DispMethod<&CHtmlCtrl::ShowPageWindow, VT_EMPTY>(L"ShowPageWindow"),
    DispMethod<&CHtmlCtrl::GetParentWindow, VT_I4>(L"GetParentWindow"),
    DispMethod<&CHtmlCtrl::ShowWindow, VT_I4>(L"ShowWindow"),
    DispMethod<&CHtmlCtrl::MaxOrNormalWindow, VT_EMPTY>(L"MaxOrNormalWindow"),
    DispMethod<&CHtmlCtrl::DownloadFile, VT_I4>(L"DownloadFile"),
    DispMethod<&CHtmlCtrl::PauseDownload, VT_I4>(L"PauseDownload"),
    DispMethod<&CHtmlCtrl::SetCallBack, VT_I4>(L"SetCallBack"),
    DispMethod<&CHtmlCtrl::GetAppPath, VT_BSTR>(L"GetAppPath"),
    DispMethod<&CHtmlCtrl::RunExe, VT_BOOL>(L"RunExe"),
    DispMethod<&CHtmlCtrl::UpdateBegin, VT_BOOL>(L"UpdateBegin"),
    DispMethod<&CHtmlCtrl::Find, VT_BOOL>(L"Find"),
    DispMethod<&CHtmlCtrl::GetConfigString, VT_BSTR>(L"GetConfigString"),
    DispMethod<&CHtmlCtrl::SetConfigString, VT_I4>(L"SetConfigString"),
    DispMethod<&CHtmlCtrl::UnzipFile, VT_I4>(L"UnzipFile"),
    DispMethod<&CHtmlCtrl::DeleteFile, VT_I4>(L"DeleteFile"),
    DispMethod<&CHtmlCtrl::CopyFile, VT_I4>(L"CopyFile"),
    DispMethod<&CHtmlCtrl::MoveFile, VT_I4>(L"MoveFile"),
    DispMethod<&CHtmlCtrl::GetRegString, VT_BSTR>(L"GetRegString"),
    DispMethod<&CHtmlCtrl::SetRegString, VT_BOOL>(L"SetRegString"),
    DispMethod<&CHtmlCtrl::GetFilePath, VT_BSTR>(L"GetFilePath"),
    DispMethod<&CHtmlCtrl::GetQuestion, VT_BSTR>(L"GetQuestion"),
    DispMethod<&CHtmlCtrl::CopyStr, VT_BOOL>(L"CopyStr"),
};

const framework::DispatchTable<CHtmlCtrl, 26> kBridgeTable(kBridgeMethods);

} // namespace

const framework::DispatchTable<CHtmlCtrl, 26>& GetBridgeTable() noexcept { return kBridgeTable; }
