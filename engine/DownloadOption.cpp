#include "engine/DownloadOption.h"

#include "engine/EngineConstants.h"

namespace corvanetov {

std::optional<DownloadOption> DownloadOption::Of(int index)
{
    // NORMAL(Phone), NORMAL(Phone + FONT), NORMAL(FONT), then the same three
    // for a handset already in download mode (EMERGENCY).
    static constexpr DownloadOption kOptions[engine::kDownloadOptions] = {
        {true, false, true}, {true, true, true}, {false, true, true}, {true, false, false}, {true, true, false}, {false, true, false},
    };
    if (index < 0 || index >= engine::kDownloadOptions)
        return std::nullopt;
    return kOptions[index];
}

DownloadOption DownloadOption::Loading(int index)
{
    return Of(index).value_or(DownloadOption{true, false, false});
}

const char* DownloadOption::CodeLoadError() const
{
    return font ? engine::kErrLoadBinary : engine::kErrLoadBin;
}

} // namespace corvanetov
