#include "app/UpdaterTrust.h"

#include "app/ProgramImage.h"
#include "app/Publisher.h"
#include "base/Unique.h"

namespace app {

UpdaterVerdict VerifyUpdater(const std::wstring& toolPath, HANDLE updater,
                             const std::wstring& updaterPath) noexcept
{
    const UniqueFile toolFile(::CreateFileW(toolPath.c_str(), GENERIC_READ, FILE_SHARE_READ,
                                            nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
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
    if (!maker || maker->commonName.empty())
        return UpdaterVerdict::UnknownTool;
    const VerifiedSignature signature = VerifySignature(updater, updaterPath);
    if (signature.trust == TRUST_E_NOSIGNATURE)
        return UpdaterVerdict::Unsigned;
    if (signature.trust != 0 || !signature.publisher)
        return UpdaterVerdict::BadSignature;
    return *signature.publisher == *maker ? UpdaterVerdict::Accepted
                                          : UpdaterVerdict::OtherPublisher;
}

} // namespace app
