#include "plugin/RuntimeClasses.h"

#include <iterator>

#include "forms/DialogPhoneInfo.h"
#include "forms/DialogSettings.h"
#include "forms/DialogSwDownload.h"
#include "plugin/ModuleConstants.h"

namespace {

template <class View>
QWidget* CreateView()
{
    return new View;
}

template <class View>
constexpr RuntimeClass RecordOf(const char* className)
{
    return RuntimeClass{className, static_cast<int>(sizeof(View)), &CreateView<View>};
}

const RuntimeClass kOffered[] = {
    RecordOf<CDialogPhoneInfo>("CDialogPhoneInfo"),
    RecordOf<CDialogSwDownload>("CDialogSwDownload"),
    RecordOf<CDialogSettings>("CDialogSettings"),
};

static_assert(std::size(kOffered) == ModuleConstants::kFormCount);

} // namespace

int RuntimeClasses::Count()
{
    return static_cast<int>(std::size(kOffered));
}

const RuntimeClass* RuntimeClasses::At(int index)
{
    if (index < 0 || index >= Count())
        return nullptr;
    return &kOffered[index];
}
