// Script method that unpacks a zip archive into a folder.
#include "web/HtmlCtrl.h"

#include "archive/UnzipToFolder.h"

long CHtmlCtrl::UnzipFile(const wchar_t* zipPath, const wchar_t* targetFolder) noexcept
{
    // A null string from the page counts as empty; the page only learns 1 or 0, the reason
    // stays on this side.
    const archive::ExtractionOutcome outcome =
        archive::UnzipToFolder(zipPath ? zipPath : L"", targetFolder ? targetFolder : L"");
    return outcome.result == archive::ExtractResult::Ok ? 1 : 0;
}
