// The module's exports, under their plain names: the five the host service
// tool calls, and the lookup of the module's resources and host messages
// (see hostlink/PluginAbi.h).

#include <QApplication>
#include <QPointer>

#include "engine/OperationContext.h"
#include "forms/DialogHistory.h"
#include "forms/OperationRunner.h"
#include "forms/PortSetting.h"
#include "forms/StationWindow.h"
#include "hostlink/HostNotifier.h"
#include "hostlink/PluginAbi.h"
#include "plugin/ModuleConstants.h"
#include "plugin/ModuleResources.h"
#include "plugin/RuntimeClasses.h"
#include "widgets/DllAbout.h"

using namespace corvanetov;

namespace {

// The dialogs need the host's application; a host without one gets no dialog.
bool HasApplication()
{
    return qobject_cast<QApplication*>(QCoreApplication::instance()) != nullptr;
}

void RunPortSettingDialog()
{
    PortSetting dialog(QApplication::activeWindow());
    dialog.exec();
}

void RunHistoryWindow()
{
    CDialogHistory window(QApplication::activeWindow());
    window.exec();
}

// One station window for the module's life: it is made on the first click,
// shown again on the next, and goes when the module is unloaded, before its
// code does.
class StationWindowHolder {
public:
    ~StationWindowHolder() { delete m_window; }
    void Show()
    {
        if (!m_window)
            m_window = new StationWindow(QApplication::activeWindow());
        m_window->show();
        m_window->raise();
        m_window->activateWindow();
    }

private:
    QPointer<StationWindow> m_window;
};

StationWindowHolder g_stationWindow;

void RunAboutDialog()
{
    CDllAbout dialog(ModuleResources::AboutText(), QApplication::activeWindow());
    dialog.exec();
}

} // namespace

// The module is built with hidden symbols; these are its contract.
#pragma GCC visibility push(default)
extern "C" {

int GetFormCnt()
{
    return RuntimeClasses::Count();
}

const RuntimeClass* GetRunTimeClass(int index)
{
    return RuntimeClasses::At(index);
}

const RuntimeClass* FindRunTimeClass(const char* className)
{
    return RuntimeClasses::FromName(className);
}

const RuntimeClass* GetRegisteredClass(int index)
{
    return RuntimeClasses::Registered(index);
}

uint8_t SetTovType(uint8_t type)
{
    OperationContext::Instance().SetToolType(type);
    return OperationContext::Instance().ToolType();
}

void MainDevice()
{
}

bool SelectedMenu(int command)
{
    switch (command) {
    case ModuleConstants::kCommandClose:
    case ModuleConstants::kCommandCloseButton:
        return true;
    case ModuleConstants::kCommandPortSetting:
        if (HasApplication())
            RunPortSettingDialog();
        return false;
    case ModuleConstants::kCommandAbout:
        if (HasApplication())
            RunAboutDialog();
        return false;
    case ModuleConstants::kCommandServiceHistory:
        if (HasApplication())
            RunHistoryWindow();
        return false;
    case ModuleConstants::kCommandStation:
        if (HasApplication())
            g_stationWindow.Show();
        return false;
    default:
        return false;
    }
}

const char* LoadPluginString(int id)
{
    return ModuleResources::LoadString(id);
}

const MenuEntry* LoadPluginMenu(int id)
{
    return ModuleResources::LoadMenu(id);
}

const ToolBarResource* LoadPluginToolBar(int id)
{
    return ModuleResources::LoadToolBar(id);
}

void SetHostMessageCallback(HostMessageCallback callback, void* context)
{
    HostNotifier::Instance().SetCallback(callback, context);
}

bool QueryClose(bool ask)
{
    return OperationRunner::StopForClosing(ask && HasApplication());
}

} // extern "C"
#pragma GCC visibility pop
