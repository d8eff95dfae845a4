#pragma once

#include <QLibrary>
#include <QString>
#include <cstdint>

#include "hostlink/PluginAbi.h"

namespace corvanetov {

// One handset plug-in, loaded with the loader and reached through its plain
// exports. The five exports of the contract are required; the resource
// lookups and the host message registration are optional (a plug-in without
// them has no menu, toolbar or status messages).
class HostPlugin {
public:
    explicit HostPlugin(const QString& path);
    ~HostPlugin();
    HostPlugin(const HostPlugin&) = delete;
    HostPlugin& operator=(const HostPlugin&) = delete;

    // False with the loader's reason when the library or one of its required
    // exports cannot be found.
    bool Load(QString& error);
    void Unload();
    QString Path() const { return m_library.fileName(); }

    int GetFormCnt() const { return m_getFormCnt(); }
    const RuntimeClass* GetRunTimeClass(int index) const { return m_getRunTimeClass(index); }
    uint8_t SetTovType(uint8_t type) const { return m_setTovType(type); }
    void MainDevice() const { m_mainDevice(); }
    bool SelectedMenu(int command) const { return m_selectedMenu(command); }

    // The plug-in's class registry; null when the plug-in has none.
    const RuntimeClass* GetRegisteredClass(int index) const;
    // An empty string, no menu or no toolbar when the plug-in has none.
    QString LoadString(int id) const;
    const MenuEntry* LoadMenu(int id) const;
    const ToolBarResource* LoadToolBar(int id) const;
    void SetHostMessageCallback(HostMessageCallback callback, void* context) const;
    // True (the window may close) for a plug-in without the export.
    bool QueryClose(bool ask) const;

private:
    template <class Func>
    bool Resolve(Func& func, const char* name, QString& error);
    template <class Func>
    void ResolveOptional(Func& func, const char* name);

    QLibrary m_library;
    GetFormCntFunc m_getFormCnt = nullptr;
    GetRunTimeClassFunc m_getRunTimeClass = nullptr;
    SetTovTypeFunc m_setTovType = nullptr;
    MainDeviceFunc m_mainDevice = nullptr;
    SelectedMenuFunc m_selectedMenu = nullptr;
    GetRegisteredClassFunc m_getRegisteredClass = nullptr;
    LoadPluginStringFunc m_loadString = nullptr;
    LoadPluginMenuFunc m_loadMenu = nullptr;
    LoadPluginToolBarFunc m_loadToolBar = nullptr;
    SetHostMessageCallbackFunc m_setHostMessageCallback = nullptr;
    QueryCloseFunc m_queryClose = nullptr;
};

} // namespace corvanetov
