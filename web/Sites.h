#pragma once
// The tool's own web sites and the addresses it opens, kept in this one place. Host names lie
// under the reserved .example domain until the portal's maker names the real ones.
#include "base/Win.h"

namespace web {

// The portal's game site, served over HTTPS; the main window appends the portal page's path
// and the client version.
inline constexpr wchar_t kPortalSite[] = L"https://game.valdmark.example";
inline constexpr wchar_t kPortalPagePath[] = L"/tsly/index.shtml?ToolId=3&ClientVersion=";

// The tools server, over plain HTTP on its own port: the update log and the updater program.
inline constexpr wchar_t kToolsSite[] = L"http://tools.valdmark.example:8088";
inline constexpr wchar_t kUpdateLogPath[] = L"/Manager/Update/ToolWeb_Update_List.aspx?ToolId=3";
inline constexpr wchar_t kUpdaterPath[] = L"/VkToolWeb/ZantoVkUpdate.exe";

// The forum is opened in the system's browser, never inside the tool: not one of its own sites.
inline constexpr wchar_t kForumSite[] = L"https://bbs.valdmark.example";
inline constexpr wchar_t kForumHelpPath[] = L"/thread-5974846-1-1.html";

// The sites whose pages are the tool's own. The forum is deliberately not among them.
inline constexpr const wchar_t* kOwnSites[] = {kPortalSite, kToolsSite};

// True when the address is a page of an own site served over HTTPS: the portal's or the tools
// server's origin, the same scheme, host and port compared exactly (host without regard to
// ASCII case, a missing port taken as the scheme's default), and never with a user name or
// password. Only such a page may reach the script bridge and run scripts and controls without
// prompts: a page over plain HTTP can be rewritten by anyone on the network path.
[[nodiscard]] bool IsTrustedPageUrl(const wchar_t* url) noexcept;

} // namespace web
