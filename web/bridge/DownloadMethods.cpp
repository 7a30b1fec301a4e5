// Script methods that start and pause downloads and register the page for progress calls.
#include "web/HtmlCtrl.h"

#include "download/DownloadTasks.h"
#include "download/ProgressNotifier.h"
#include "download/TaskMap.h"
#include "settings/ConfigFile.h"

long CHtmlCtrl::DownloadFile(const wchar_t* url, const wchar_t* fileName, long idHigh,
                             long idLow) noexcept
{
    // The page learns here only whether a transfer began; how it ends comes through
    // OnDownloadProgress.
    // Read for every download, so that a value the page has just written counts for the next.
    const int connections = download::ConnectionsFrom(
        settings::ReadSetting(m_places, settings::kSectionDownload, settings::kKeyConnections,
                              settings::kConnectionsCapacity));
    const auto result = download::StartTask(m_places, url, fileName, idHigh, idLow, connections);
    return result == download::StartResult::Started ? 1 : 0;
}

long CHtmlCtrl::PauseDownload(long idHigh, long idLow) noexcept
{
    return download::RequestPause(download::MakeTaskId(idHigh, idLow)) ? 1 : 0;
}

long CHtmlCtrl::SetCallBack(IDispatch* document) noexcept
{
    g_pageNotifier.RegisterPageDocument(document);
    return 0; // the page expects 0 whatever happened
}
