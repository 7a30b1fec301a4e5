// Which addresses are the tool's own: exact origins, never look-alikes.
#include "web/Sites.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::wstring Join(const wchar_t* site, const wchar_t* path) { return std::wstring(site) + path; }

} // namespace

TEST(OwnSites, TheToolsOwnAddressesAreWhatTheyShouldBe)
{
    const std::wstring portal = Join(web::kPortalSite, web::kPortalPagePath) + L"1.0.0";
    EXPECT_TRUE(web::IsTrustedPageUrl(portal.c_str())) << "the portal page gets the bridge";

    const std::wstring updateLog = Join(web::kToolsSite, web::kUpdateLogPath);
    EXPECT_TRUE(web::IsOwnSiteUrl(updateLog.c_str()));
    EXPECT_FALSE(web::IsTrustedPageUrl(updateLog.c_str())) << "plain HTTP never gets the bridge";
    EXPECT_TRUE(web::IsOwnSiteUrl(Join(web::kToolsSite, web::kUpdaterPath).c_str()));

    const std::wstring forum = Join(web::kForumSite, web::kForumHelpPath);
    EXPECT_FALSE(web::IsOwnSiteUrl(forum.c_str())) << "the forum is not one of the tool's sites";
    EXPECT_FALSE(web::IsTrustedPageUrl(forum.c_str()));
}

TEST(OwnSites, SpellingsOfTheSameOriginAreOwn)
{
    for (const wchar_t* url : {
             L"https://game.valdmark.example",
             L"https://game.valdmark.example/",
             L"HTTPS://GAME.Valdmark.EXAMPLE/tsly/index.shtml",
             L"https://game.valdmark.example:443/tsly/index.shtml?ToolId=3#top",
             L"https://game.valdmark.example/other/page.html?u=https://attacker.example/",
         })
        EXPECT_TRUE(web::IsTrustedPageUrl(url)) << testing::PrintToString(std::wstring(url));
    EXPECT_TRUE(web::IsOwnSiteUrl(L"HTTP://TOOLS.valdmark.example:8088/x"));
}

TEST(OwnSites, LookAlikesAreNotOwn)
{
    struct LookAlike {
        const wchar_t* url;
        const char* trick;
    };
    const LookAlike lookAlikes[] = {
        {L"https://game.valdmark.example.attacker.example/", "own host as a prefix"},
        {L"https://evilgame.valdmark.example/", "own host as a suffix"},
        {L"https://www.game.valdmark.example/", "a subdomain of the own host"},
        {L"https://game.valdmark.example@attacker.example/", "own host as the user name"},
        {L"https://user@game.valdmark.example/", "a user name on the own host"},
        {L"https://user:pw@game.valdmark.example/", "credentials on the own host"},
        {L"https://game.valdmark.example:8443/", "another port"},
        {L"https://game.valdmark.example:80/", "the other scheme's port"},
        {L"https://game.valdmark.example:/", "an empty port"},
        {L"http://game.valdmark.example/", "plain HTTP on the portal's host"},
        {L"ftp://game.valdmark.example/", "another scheme"},
        {L"https://game.valdmark.example./", "a trailing dot"},
        {L"https://g\u0430me.valdmark.example/", "a Cyrillic a"},
        {L"https://\uff47\uff41\uff4d\uff45.valdmark.example/", "full-width letters"},
        {L"https://attacker.example/game.valdmark.example/", "own host in the path"},
        {L"https://attacker.example/?https://game.valdmark.example/", "own address in the query"},
        {L"https://attacker.example\\@game.valdmark.example/", "a backslash ends the host"},
        {L"https:game.valdmark.example/", "no authority"},
        {L"//game.valdmark.example/", "no scheme"},
        {L"game.valdmark.example", "a bare host name"},
        {L"https://tools.valdmark.example:8088/", "the tools server's origin over HTTPS"},
        {L"http://tools.valdmark.example/", "the tools server's host on port 80"},
        {L"http://tools.valdmark.example:8089/", "the tools server's host, another port"},
        {L"about:blank", "no host"},
        {L"file:///C:/game.valdmark.example/index.html", "a local file"},
        {L"javascript:'https://game.valdmark.example/'", "a script address"},
        {L"", "nothing"},
    };
    for (const LookAlike& lookAlike : lookAlikes) {
        EXPECT_FALSE(web::IsOwnSiteUrl(lookAlike.url)) << lookAlike.trick;
        EXPECT_FALSE(web::IsTrustedPageUrl(lookAlike.url)) << lookAlike.trick;
    }
    EXPECT_FALSE(web::IsOwnSiteUrl(nullptr));
    EXPECT_FALSE(web::IsTrustedPageUrl(nullptr));
}

TEST(OwnSites, LettersThatFoldToAsciiOnlyUnderUnicodeRulesAreNotOwn)
{
    // U+017F (long s) upper-cases to S and U+212A (Kelvin sign) lower-cases to k.
    EXPECT_FALSE(web::IsOwnSiteUrl(L"http://tool\u017F.valdmark.example:8088/"));
    EXPECT_FALSE(web::IsOwnSiteUrl(L"https://game.valdmar\u212A.example/"));
}
