#include "web/BridgeTable.h"

#include "web/HtmlCtrl.h"

using framework::DispMethod;

namespace {

// The page depends on these positions: the identifier of a method is its place in this list.
// Beside each method, the file of web/bridge/ that holds it.
constexpr framework::DispatchEntry<CHtmlCtrl> kBridgeMethods[] = {
    DispMethod<&CHtmlCtrl::GetVersion, VT_I4>(L"GetVersion"),                  // PageMethods.cpp
    DispMethod<&CHtmlCtrl::MoveWindow, VT_EMPTY>(L"MoveWindow"),               // WindowMethods.cpp
    DispMethod<&CHtmlCtrl::GetMainWindow, VT_I4>(L"GetMainWindow"),            // WindowMethods.cpp
    DispMethod<&CHtmlCtrl::SendMessage, VT_I4>(L"SendMessage"),                // WindowMethods.cpp
    DispMethod<&CHtmlCtrl::ShowPageWindow, VT_EMPTY>(L"ShowPageWindow"),       // PageMethods.cpp
    DispMethod<&CHtmlCtrl::GetParentWindow, VT_I4>(L"GetParentWindow"),        // WindowMethods.cpp
    DispMethod<&CHtmlCtrl::ShowWindow, VT_I4>(L"ShowWindow"),                  // WindowMethods.cpp
    DispMethod<&CHtmlCtrl::MaxOrNormalWindow, VT_EMPTY>(L"MaxOrNormalWindow"), // WindowMethods.cpp
    DispMethod<&CHtmlCtrl::DownloadFile, VT_I4>(L"DownloadFile"),         // DownloadMethods.cpp
    DispMethod<&CHtmlCtrl::PauseDownload, VT_I4>(L"PauseDownload"),       // DownloadMethods.cpp
    DispMethod<&CHtmlCtrl::SetCallBack, VT_I4>(L"SetCallBack"),           // DownloadMethods.cpp
    DispMethod<&CHtmlCtrl::GetAppPath, VT_BSTR>(L"GetAppPath"),           // PageMethods.cpp
    DispMethod<&CHtmlCtrl::RunExe, VT_BOOL>(L"RunExe"),                   // ProcessMethods.cpp
    DispMethod<&CHtmlCtrl::UpdateBegin, VT_BOOL>(L"UpdateBegin"),         // WindowMethods.cpp
    DispMethod<&CHtmlCtrl::Find, VT_BOOL>(L"Find"),                       // WindowMethods.cpp
    DispMethod<&CHtmlCtrl::GetConfigString, VT_BSTR>(L"GetConfigString"), // SettingsMethods.cpp
    DispMethod<&CHtmlCtrl::SetConfigString, VT_I4>(L"SetConfigString"),   // SettingsMethods.cpp
    DispMethod<&CHtmlCtrl::UnzipFile, VT_I4>(L"UnzipFile"),               // ArchiveMethods.cpp
    DispMethod<&CHtmlCtrl::DeleteFile, VT_I4>(L"DeleteFile"),             // FileMethods.cpp
    DispMethod<&CHtmlCtrl::CopyFile, VT_I4>(L"CopyFile"),                 // FileMethods.cpp
    DispMethod<&CHtmlCtrl::MoveFile, VT_I4>(L"MoveFile"),                 // FileMethods.cpp
    DispMethod<&CHtmlCtrl::GetRegString, VT_BSTR>(L"GetRegString"),       // RegistryMethods.cpp
    DispMethod<&CHtmlCtrl::SetRegString, VT_BOOL>(L"SetRegString"),       // RegistryMethods.cpp
    DispMethod<&CHtmlCtrl::GetFilePath, VT_BSTR>(L"GetFilePath"),         // FileMethods.cpp
    DispMethod<&CHtmlCtrl::GetQuestion, VT_BSTR>(L"GetQuestion"),         // PageMethods.cpp
    DispMethod<&CHtmlCtrl::CopyStr, VT_BOOL>(L"CopyStr"),                 // ClipboardMethods.cpp
};

const framework::DispatchTable<CHtmlCtrl, kBridgeMethodCount> kBridgeTable(kBridgeMethods);

} // namespace

const framework::DispatchTable<CHtmlCtrl, kBridgeMethodCount>& GetBridgeTable() noexcept
{
    return kBridgeTable;
}
