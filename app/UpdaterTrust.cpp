#include "app/UpdaterTrust.h"

#include "app/ProgramImage.h"
#include "base/Unique.h"

#include <algorithm>

namespace app {
namespace {

// An empty name is encoded as an empty sequence, these two bytes: it names no maker.
constexpr size_t kEmptyNameSize = 2;

// The updater's signature: verified, by a code signer, whom `trusted` names.
template <class Trusted>
UpdaterVerdict JudgeSignature(HANDLE updater, const std::wstring& path, const Trusted& trusted)
{
    const VerifiedSignature signature = VerifySignature(updater, path);
    if (signature.trust == TRUST_E_NOSIGNATURE)
        return UpdaterVerdict::Unsigned;
    if (signature.trust != 0 || !signature.signer)
        return UpdaterVerdict::BadSignature;
    if (!signature.signer->codeSigning)
        return UpdaterVerdict::NotForCodeSigning;
    return trusted(*signature.signer) ? UpdaterVerdict::Accepted : UpdaterVerdict::OtherPublisher;
}

} // namespace

UpdaterVerdict VerifyUpdater(const std::wstring& toolPath, HANDLE updater,
                             const std::wstring& updaterPath,
                             std::span<const KeyHash> pinnedKeys) noexcept
{
    // A key is an identity where a name is not: anyone can put the maker's names in a
    // certificate of their own, and where the chain is not checked (Wine) it would pass.
    if (!pinnedKeys.empty()) {
        if (!ReadProgramImage(updater))
            return UpdaterVerdict::NotAProgram;
        return JudgeSignature(updater, updaterPath, [&](const Signer& signer) {
            return std::find(pinnedKeys.begin(), pinnedKeys.end(), signer.key) !=
                   pinnedKeys.end();
        });
    }
    const UniqueFile toolFile(::CreateFileW(toolPath.c_str(), GENERIC_READ, FILE_SHARE_READ,
                                            nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                                            nullptr));
    const std::optional<ProgramImage> tool = ReadProgramImage(toolFile.Get());
    if (!tool)
        return UpdaterVerdict::UnknownTool;
    if (!ReadProgramImage(updater))
        return UpdaterVerdict::NotAProgram;
    if (!tool->carriesSignature)
        return UpdaterVerdict::Accepted;
    // The tool's own signature need not verify any more (its certificate may have expired):
    // it only names the maker.
    const std::optional<Publisher> maker = ReadWrittenPublisher(toolPath);
    if (!maker || maker->subject.size() <= kEmptyNameSize)
        return UpdaterVerdict::UnknownTool;
    return JudgeSignature(updater, updaterPath,
                          [&](const Signer& signer) { return signer.names == *maker; });
}

} // namespace app
