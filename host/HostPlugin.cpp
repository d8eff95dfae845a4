#include "host/HostPlugin.h"

namespace corvanetov {

HostPlugin::HostPlugin(const QString& path)
    : m_library(path)
{
    // Bind every symbol at load, so that a plug-in built against something
    // missing is refused with the loader's reason instead of failing later.
    m_library.setLoadHints(QLibrary::ResolveAllSymbolsHint);
}

HostPlugin::~HostPlugin()
{
    Unload();
}

template <class Func>
bool HostPlugin::Resolve(Func& func, const char* name, QString& error)
{
    func = reinterpret_cast<Func>(m_library.resolve(name));
    if (!func)
        error = QStringLiteral("the library does not export %1").arg(QLatin1String(name));
    return func != nullptr;
}

template <class Func>
void HostPlugin::ResolveOptional(Func& func, const char* name)
{
    func = reinterpret_cast<Func>(m_library.resolve(name));
}

bool HostPlugin::Load(QString& error)
{
    if (!m_library.load()) {
        error = m_library.errorString();
        return false;
    }
    const bool complete = Resolve(m_getFormCnt, PluginAbi::kGetFormCnt, error)
        && Resolve(m_getRunTimeClass, PluginAbi::kGetRunTimeClass, error)
        && Resolve(m_setTovType, PluginAbi::kSetTovType, error)
        && Resolve(m_mainDevice, PluginAbi::kMainDevice, error)
        && Resolve(m_selectedMenu, PluginAbi::kSelectedMenu, error);
    if (!complete) {
        m_library.unload();
        return false;
    }
    ResolveOptional(m_getRegisteredClass, PluginAbi::kGetRegisteredClass);
    ResolveOptional(m_loadString, PluginAbi::kLoadPluginString);
    ResolveOptional(m_loadMenu, PluginAbi::kLoadPluginMenu);
    ResolveOptional(m_loadToolBar, PluginAbi::kLoadPluginToolBar);
    ResolveOptional(m_setHostMessageCallback, PluginAbi::kSetHostMessageCallback);
    ResolveOptional(m_queryClose, PluginAbi::kQueryClose);
    return true;
}

void HostPlugin::Unload()
{
    if (!m_library.isLoaded())
        return;
    SetHostMessageCallback(nullptr, nullptr);
    m_library.unload();
}

const RuntimeClass* HostPlugin::GetRegisteredClass(int index) const
{
    return m_getRegisteredClass ? m_getRegisteredClass(index) : nullptr;
}

QString HostPlugin::LoadString(int id) const
{
    const char* text = m_loadString ? m_loadString(id) : nullptr;
    return text ? QString::fromLatin1(text) : QString();
}

const MenuEntry* HostPlugin::LoadMenu(int id) const
{
    return m_loadMenu ? m_loadMenu(id) : nullptr;
}

const ToolBarResource* HostPlugin::LoadToolBar(int id) const
{
    return m_loadToolBar ? m_loadToolBar(id) : nullptr;
}

void HostPlugin::SetHostMessageCallback(HostMessageCallback callback, void* context) const
{
    if (m_setHostMessageCallback)
        m_setHostMessageCallback(callback, context);
}

bool HostPlugin::QueryClose(bool ask) const
{
    return !m_queryClose || m_queryClose(ask);
}

} // namespace corvanetov
