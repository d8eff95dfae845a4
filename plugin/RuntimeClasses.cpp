#include "plugin/RuntimeClasses.h"

#include <cstring>
#include <iterator>
#include <vector>

#include "forms/DialogBackup.h"
#include "forms/DialogEriDownload.h"
#include "forms/DialogPhoneInfo.h"
#include "forms/DialogPrlDownload.h"
#include "forms/DialogSettings.h"
#include "forms/DialogSwDownload.h"
#include "plugin/ModuleConstants.h"

namespace corvanetov {

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

// Built, registered, and never offered: no index yields them.
const RuntimeClass kNotOffered[] = {
    RecordOf<CDialogPrlDownload>("CDialogPrlDownload"),
    RecordOf<CDialogEriDownload>("CDialogEriDownload"),
    RecordOf<CDialogBackup>("CDialogBackup"),
};

std::vector<const RuntimeClass*>& Registry()
{
    static std::vector<const RuntimeClass*> registry;
    return registry;
}

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

void RuntimeClasses::Register()
{
    auto& registry = Registry();
    registry.clear();
    for (const RuntimeClass& record : kOffered)
        registry.push_back(&record);
    for (const RuntimeClass& record : kNotOffered)
        registry.push_back(&record);
}

void RuntimeClasses::Unregister()
{
    Registry().clear();
}

const RuntimeClass* RuntimeClasses::FromName(const char* className)
{
    if (!className)
        return nullptr;
    for (const RuntimeClass* record : Registry()) {
        if (std::strcmp(record->m_className, className) == 0)
            return record;
    }
    return nullptr;
}

const RuntimeClass* RuntimeClasses::Registered(int index)
{
    const auto& registry = Registry();
    if (index < 0 || index >= static_cast<int>(registry.size()))
        return nullptr;
    return registry[static_cast<size_t>(index)];
}

} // namespace corvanetov
