#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>
#include <atomic>
#include <new>

#include "comm/PortResolver.h"
#include "engine/OperationContext.h"
#include "nv/NvDoc.h"
#include "plugin/ModuleLifecycle.h"

using namespace corvanetov;

namespace {
// While set, the program has no memory for an object of the NV document's size.
std::atomic<bool> g_refuseDocument{false};
} // namespace

// Otherwise the ordinary allocation, which the ordinary delete frees.
void* operator new(std::size_t size, const std::nothrow_t&) noexcept
{
    if (g_refuseDocument && size == sizeof(NvDoc))
        return nullptr;
    try {
        return ::operator new(size);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

class ModuleLifecycleTest : public QObject {
    Q_OBJECT
private slots:
    void LoadCreatesTheDocumentAndUnloadDestroysIt();
    void WithoutMemoryForTheDocumentTheModuleStillLoads();
    void LoadMakesComNumbersOpenTheUsersDevices();
};

void ModuleLifecycleTest::LoadCreatesTheDocumentAndUnloadDestroysIt()
{
    OperationContext& context = OperationContext::Instance();
    {
        const ModuleLifecycle module;
        QVERIFY(context.NvDocument());
        QVERIFY(context.GetPrompts());
        // The artwork and the toolbar strip are found while the module is loaded.
        QVERIFY(QFile::exists(QStringLiteral(":/corvanetov/bitmap1025.png")));
        QVERIFY(QFile::exists(QStringLiteral(":/vqxb410/toolbar2000.png")));
    }
    QCOMPARE(context.NvDocument(), nullptr);
    QCOMPARE(context.GetPrompts(), nullptr);
    QVERIFY(!QFile::exists(QStringLiteral(":/vqxb410/toolbar2000.png")));
}

void ModuleLifecycleTest::WithoutMemoryForTheDocumentTheModuleStillLoads()
{
    OperationContext& context = OperationContext::Instance();
    {
        g_refuseDocument = true;
        const ModuleLifecycle module;
        g_refuseDocument = false;
        QCOMPARE(context.NvDocument(), nullptr);
        QVERIFY(context.GetPrompts());
    }
    QCOMPARE(context.GetPrompts(), nullptr);
}

void ModuleLifecycleTest::LoadMakesComNumbersOpenTheUsersDevices()
{
    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    qputenv("XDG_CONFIG_HOME", folder.path().toLocal8Bit());
    QSettings store(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("CorvaneTOV"), QStringLiteral("corvanetov"));
    store.setValue(QStringLiteral("Software/CorvaneTOV/Ports/COM7"), QStringLiteral("/dev/ttyUSB3"));
    store.sync();
    QCOMPARE(PortResolver::Instance().Resolve(7), std::string());
    {
        const ModuleLifecycle module;
        QCOMPARE(PortResolver::Instance().Resolve(7), std::string("/dev/ttyUSB3"));
    }
    // Nothing of the unloaded module may stay in use.
    QCOMPARE(PortResolver::Instance().Resolve(7), std::string());
}

QTEST_MAIN(ModuleLifecycleTest)
#include "ModuleLifecycleTest.moc"
