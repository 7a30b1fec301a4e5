// Which files may be started as the updater, for a signed and an unsigned build of the tool,
// against certificates and signatures made for the run (tests/support/make-signed-programs).
#include "app/UpdaterTrust.h"
#include "tests/support/Files.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

using app::UpdaterVerdict;

namespace {

std::wstring Signed(const wchar_t* name) { return test::ProgramPath(L"signed\\") + name; }

// The stand-in updater as built, with its machine changed to ARM64.
std::string OtherMachine(std::string program)
{
    const auto at = [&](size_t i) { return static_cast<unsigned char>(program[i]); };
    const size_t pe = at(0x3C) | at(0x3D) << 8 | at(0x3E) << 16 | at(0x3F) << 24;
    program[pe + 4] = '\x64';
    program[pe + 5] = '\xAA';
    return program;
}

} // namespace

TEST(UpdaterTrust, StartsOnlyWhatTheToolsSignatureAllows)
{
    test::TempDir folder;
    const std::string program = test::ReadFileBytes(Signed(L"updater-unsigned.exe"));
    ASSERT_GT(program.size(), 100000u) << "the signed programs are missing";
    // Half the stand-in's bytes end within its sections (its debug sections reach far).
    ASSERT_TRUE(
        test::WriteFileBytes(folder.Path(L"cut.exe"), program.substr(0, program.size() / 2)));
    ASSERT_TRUE(test::WriteFileBytes(folder.Path(L"arm64.exe"), OtherMachine(program)));
    ASSERT_TRUE(test::WriteFileBytes(folder.Path(L"empty.exe"), ""));

    const std::wstring signedTool = Signed(L"quib-a.exe");
    const std::wstring unsignedTool = test::ProgramPath(L"QUIB.exe");
    const struct {
        const char* what;
        std::wstring tool;
        std::wstring updater;
        UpdaterVerdict expected;
    } cases[] = {
        {"signed tool, updater by the same subject", signedTool, Signed(L"updater-a.exe"),
         UpdaterVerdict::Accepted},
        {"signed tool, updater by another subject", signedTool, Signed(L"updater-b.exe"),
         UpdaterVerdict::OtherPublisher},
        {"signed tool, one byte changed", signedTool, Signed(L"updater-a-changed.exe"),
         UpdaterVerdict::BadSignature},
        {"signed tool, unsigned updater", signedTool, Signed(L"updater-unsigned.exe"),
         UpdaterVerdict::Unsigned},
        {"signed tool, a web page", signedTool, Signed(L"page.html"), UpdaterVerdict::NotAProgram},
        // The tool's own signature only names the maker: an expired one must still do.
        {"tool whose signature no longer verifies", Signed(L"updater-a-changed.exe"),
         Signed(L"updater-a.exe"), UpdaterVerdict::Accepted},
        {"unsigned tool, unsigned x64 program", unsignedTool, Signed(L"updater-unsigned.exe"),
         UpdaterVerdict::Accepted},
        {"unsigned tool, x86 program", unsignedTool, Signed(L"program-x86.exe"),
         UpdaterVerdict::Accepted},
        {"unsigned tool, signed program", unsignedTool, Signed(L"updater-b.exe"),
         UpdaterVerdict::Accepted},
        {"unsigned tool, a web page", unsignedTool, Signed(L"page.html"),
         UpdaterVerdict::NotAProgram},
        {"unsigned tool, 5 bytes", unsignedTool, Signed(L"five-bytes.exe"),
         UpdaterVerdict::NotAProgram},
        {"unsigned tool, empty file", unsignedTool, folder.Path(L"empty.exe"),
         UpdaterVerdict::NotAProgram},
        {"unsigned tool, cut off", unsignedTool, folder.Path(L"cut.exe"),
         UpdaterVerdict::NotAProgram},
        {"unsigned tool, ARM64 program", unsignedTool, folder.Path(L"arm64.exe"),
         UpdaterVerdict::NotAProgram},
        {"unsigned tool, no file", unsignedTool, folder.Path(L"missing.exe"),
         UpdaterVerdict::NotAProgram},
        {"the tool's file cannot be read", folder.Path(L"gone.exe"), Signed(L"updater-a.exe"),
         UpdaterVerdict::UnknownTool},
    };
    for (const auto& c : cases)
        EXPECT_EQ(app::VerifyUpdater(c.tool, c.updater), c.expected) << c.what;
}
