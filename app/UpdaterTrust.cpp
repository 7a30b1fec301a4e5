#include "app/UpdaterTrust.h"

#include "app/ProgramImage.h"
#include "app/Publisher.h"

namespace app {

UpdaterVerdict VerifyUpdater(const std::wstring& toolPath, const std::wstring& updaterPath) noexcept
{
    const std::optional<ProgramImage> tool = ReadProgramImage(toolPath);
    if (!tool)
        return UpdaterVerdict::UnknownTool;
    if (!ReadProgramImage(updaterPath))
        return UpdaterVerdict::NotAProgram;
    if (!tool->carriesSignature)
        return UpdaterVerdict::Accepted;

    // The tool's own signature need not verify any more (its certificate may have expired):
    // it only names the maker.
    const std::optional<Publisher> maker = ReadWrittenPublisher(toolPath);
    if (!maker || maker->commonName.empty())
        return UpdaterVerdict::UnknownTool;
    const VerifiedSignature updater = VerifySignature(updaterPath);
    if (updater.trust == TRUST_E_NOSIGNATURE)
        return UpdaterVerdict::Unsigned;
    if (updater.trust != 0 || !updater.publisher)
        return UpdaterVerdict::BadSignature;
    return *updater.publisher == *maker ? UpdaterVerdict::Accepted : UpdaterVerdict::OtherPublisher;
}

} // namespace app
