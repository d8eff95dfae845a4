#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFile>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>
#include <dlfcn.h>
#include <utility>
#include <vector>

#include "ModalAnswerer.h"
#include "PrivateSurroundings.h"
#include "PtyPair.h"
#include "hostlink/PluginAbi.h"

using namespace corvanetov;

namespace {

// The module loaded for one test and unloaded at its end, with its exports.
class LoadedModule {
public:
    LoadedModule()
        : m_handle(dlopen(CORVANETOV_MODULE_FILE, RTLD_NOW | RTLD_LOCAL))
    {
    }
    ~LoadedModule() { Unload(); }
    bool Loaded() const { return m_handle != nullptr; }
    // dlclose's answer; 0 when it was not loaded.
    int Unload()
    {
        void* handle = std::exchange(m_handle, nullptr);
        return handle ? dlclose(handle) : 0;
    }

    template <class Func>
    Func Resolve(const char* name) const
    {
        return reinterpret_cast<Func>(dlsym(m_handle, name));
    }
    int GetFormCnt() const { return Resolve<GetFormCntFunc>("GetFormCnt")(); }
    const RuntimeClass* GetRunTimeClass(int index) const
    {
        return Resolve<GetRunTimeClassFunc>("GetRunTimeClass")(index);
    }
    uint8_t SetTovType(uint8_t type) const { return Resolve<SetTovTypeFunc>("SetTovType")(type); }
    bool SelectedMenu(int command) const { return Resolve<SelectedMenuFunc>("SelectedMenu")(command); }
    const char* LoadString(int id) const { return Resolve<LoadPluginStringFunc>("LoadPluginString")(id); }
    void SetHostMessageCallback(HostMessageCallback callback, void* context) const
    {
        Resolve<SetHostMessageCallbackFunc>("SetHostMessageCallback")(callback, context);
    }

private:
    void* m_handle;
};

bool ModuleMapped()
{
    void* handle = dlopen(CORVANETOV_MODULE_FILE, RTLD_NOW | RTLD_NOLOAD);
    if (handle)
        dlclose(handle);
    return handle != nullptr;
}

// The records name the classes as the host asks for them; Qt's meta-object
// names carry the project's namespace.
const QByteArray kNamespacePrefix = "corvanetov::";

struct ViewRecord {
    const char* className;
    const char* title;
};
void RecordLine(void* context, unsigned, int line, const char* text)
{
    static_cast<std::vector<std::pair<int, std::string>>*>(context)->emplace_back(line, text);
}

// COM 7 of the user's port table is the line: OK in the Port Setting dialog
// opens it, which only the module's resolver can have done. The lines the
// module wrote to the host's status bar meanwhile are returned.
std::vector<std::pair<int, std::string>> OpenCom7FromPortSetting(const LoadedModule& module, const PtyPair& line)
{
    QSettings store(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("CorvaneTOV"), QStringLiteral("corvanetov"));
    store.setValue(QStringLiteral("Software/CorvaneTOV/Ports/COM7"), QString::fromStdString(line.SlavePath()));
    store.sync();
    std::vector<std::pair<int, std::string>> lines;
    module.SetHostMessageCallback(&RecordLine, &lines);
    ModalAnswerer answerer([](QWidget* open) {
        open->findChild<QComboBox*>(QStringLiteral("comboPort"))->setCurrentIndex(6);
        QTest::mouseClick(open->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok), Qt::LeftButton);
    }, 5000);
    const bool handled = module.SelectedMenu(2040);
    module.SetHostMessageCallback(nullptr, nullptr);
    if (handled || !answerer.Answered() || answerer.TimedOut())
        lines.emplace_back(-1, "the Port Setting dialog did not open the port");
    return lines;
}

const ViewRecord kViews[] = {
    {"CDialogPhoneInfo", "PHONE  INFO"},
    {"CDialogSwDownload", "SOFTWARE DOWNLOAD"},
    {"CDialogSettings", "SETTING"},
};

} // namespace

class ModuleExportsTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void LoadAndUnloadAreTracedAndUnloadUnmaps();
    void ComNumbersOpenTheUsersDevices();
    void OffersThreeViewsInOrder();
    void RunTimeClassOutsideTheViewsIsNull();
    void RegistryFindsEveryViewByNameThreeAreOffered();
    void ViewsShowTheLogoOnlyForNonzeroToolTypes();
    void SetTovTypeStoresAndReturnsTheType();
    void CloseCommandsReturnTrueAndOpenNothing();
    void OtherCommandsReturnFalse();
    void AboutCommandRunsTheAboutBox();
    void PortSettingCommandRunsThePortSettingDialog();
    void StringsMenuAndToolBarByNumber();

private:
    QTemporaryDir m_folder;
};

void ModuleExportsTest::initTestCase()
{
    QVERIFY(m_folder.isValid());
    QVERIFY(UsePrivateSurroundings(m_folder));
    QVERIFY2(!ModuleMapped(), "the module must not be loaded before the tests load it");
}

// The module keeps its state to itself (it shares no symbols with its host):
// what loading and unloading do shows in its trace, which it opens from the
// environment as a fresh module does. A port opened from the Port Setting
// dialog on this thread must not keep the module mapped.
void ModuleExportsTest::LoadAndUnloadAreTracedAndUnloadUnmaps()
{
    const QString tracePath = m_folder.filePath(QStringLiteral("trace.txt"));
    qputenv("CORVANETOV_TRACE", tracePath.toLocal8Bit());
    PtyPair line;
    for (int load = 0; load < 2; ++load) {
        LoadedModule module;
        QVERIFY2(module.Loaded(), dlerror());
        QCOMPARE(OpenCom7FromPortSetting(module, line), (std::vector<std::pair<int, std::string>>{{2, "      Com7"}}));
        QCOMPARE(module.Unload(), 0);
        QVERIFY2(!ModuleMapped(), "the module stayed mapped after its port was opened");
    }
    qunsetenv("CORVANETOV_TRACE");
    QFile trace(tracePath);
    QVERIFY(trace.open(QIODevice::ReadOnly));
    const QByteArray text = trace.readAll();
    const QByteArray begins("CORVANETOV_VQXB410.DLL Initializing!\n");
    const QByteArray ends("CORVANETOV_VQXB410.DLL Terminating!\n");
    QVERIFY2(text.startsWith(begins) && text.endsWith(ends), text.constData());
    QCOMPARE(text.count(begins), 2);
    QCOMPARE(text.count(ends), 2);
    QVERIFY2(text.indexOf(ends) < text.lastIndexOf(begins), "each load ends before the next begins");
}

// COM numbers open the devices of the user's port table.
void ModuleExportsTest::ComNumbersOpenTheUsersDevices()
{
    PtyPair line;
    LoadedModule module;
    QVERIFY(module.Loaded());
    QCOMPARE(OpenCom7FromPortSetting(module, line), (std::vector<std::pair<int, std::string>>{{2, "      Com7"}}));
}

void ModuleExportsTest::OffersThreeViewsInOrder()
{
    LoadedModule module;
    QVERIFY(module.Loaded());
    QCOMPARE(module.GetFormCnt(), 3);
    for (int index = 0; index < module.GetFormCnt(); ++index) {
        const RuntimeClass* record = module.GetRunTimeClass(index);
        QVERIFY(record);
        QCOMPARE(QByteArray(record->m_className), QByteArray(kViews[index].className));
        QVERIFY(record->m_objectSize >= int(sizeof(QWidget)));
        std::unique_ptr<QWidget> view(record->m_createObject());
        QVERIFY(view);
        QCOMPARE(QByteArray(view->metaObject()->className()), kNamespacePrefix + kViews[index].className);
        QCOMPARE(view->windowTitle(), QString::fromLatin1(kViews[index].title));
        auto* title = view->findChild<QLabel*>(QStringLiteral("labelTitle"));
        QVERIFY(title);
        QCOMPARE(title->text(), QString::fromLatin1(kViews[index].title));
    }
}

void ModuleExportsTest::RunTimeClassOutsideTheViewsIsNull()
{
    LoadedModule module;
    QVERIFY(module.Loaded());
    QCOMPARE(module.GetRunTimeClass(3), nullptr);
    QCOMPARE(module.GetRunTimeClass(-1), nullptr);
    QCOMPARE(module.GetRunTimeClass(1000), nullptr);
}

void ModuleExportsTest::RegistryFindsEveryViewByNameThreeAreOffered()
{
    LoadedModule module;
    QVERIFY(module.Loaded());
    auto find = module.Resolve<FindRunTimeClassFunc>("FindRunTimeClass");
    auto registered = module.Resolve<GetRegisteredClassFunc>("GetRegisteredClass");
    QVERIFY(find && registered);
    const ViewRecord all[] = {kViews[0], kViews[1], kViews[2], {"CDialogPrlDownload", "PRL DOWNLOAD"},
                              {"CDialogEriDownload", "ERI DOWNLOAD"}, {"CDialogBackup", "TRANSFER"}};
    for (int index = 0; index < int(std::size(all)); ++index) {
        const RuntimeClass* record = find(all[index].className);
        QVERIFY2(record, all[index].className);
        QCOMPARE(registered(index), record);
        QCOMPARE(QByteArray(record->m_className), QByteArray(all[index].className));
        std::unique_ptr<QWidget> view(record->m_createObject());
        QCOMPARE(QByteArray(view->metaObject()->className()), kNamespacePrefix + all[index].className);
        QCOMPARE(view->windowTitle(), QString::fromLatin1(all[index].title));
        QVERIFY(record->m_objectSize >= int(sizeof(QWidget)));
    }
    QCOMPARE(registered(int(std::size(all))), nullptr);
    QCOMPARE(registered(-1), nullptr);
    QCOMPARE(find("CDialogNothing"), nullptr);
    QCOMPARE(find(nullptr), nullptr);
    // The view list stays the three offered views.
    QCOMPARE(module.GetFormCnt(), 3);
    for (int index = 0; index < 3; ++index)
        QCOMPARE(module.GetRunTimeClass(index), find(kViews[index].className));
}

void ModuleExportsTest::ViewsShowTheLogoOnlyForNonzeroToolTypes()
{
    LoadedModule module;
    QVERIFY(module.Loaded());
    for (uint8_t type : {uint8_t{0}, uint8_t{1}}) {
        module.SetTovType(type);
        for (int index = 0; index < module.GetFormCnt(); ++index) {
            std::unique_ptr<QWidget> view(module.GetRunTimeClass(index)->m_createObject());
            view->show();
            auto* picture = view->findChild<QLabel*>(QStringLiteral("picture"));
            QVERIFY(picture);
            QCOMPARE(picture->isVisible(), type != 0);
            QVERIFY(!picture->pixmap().isNull());
        }
    }
    module.SetTovType(0);
}

void ModuleExportsTest::SetTovTypeStoresAndReturnsTheType()
{
    LoadedModule module;
    QVERIFY(module.Loaded());
    // What the module stores shows in its views (the logo test); the answer
    // is the stored type read back.
    QCOMPARE(module.SetTovType(1), uint8_t{1});
    QCOMPARE(module.SetTovType(255), uint8_t{255});
    QCOMPARE(module.SetTovType(0), uint8_t{0});
}

void ModuleExportsTest::CloseCommandsReturnTrueAndOpenNothing()
{
    LoadedModule module;
    QVERIFY(module.Loaded());
    // Anything that did open would be closed by the answerer, and seen.
    ModalAnswerer answerer([](QWidget* open) { open->close(); });
    QVERIFY(module.SelectedMenu(2010));
    QVERIFY(module.SelectedMenu(2030));
    QCoreApplication::processEvents();
    QVERIFY(!answerer.Answered());
}

void ModuleExportsTest::OtherCommandsReturnFalse()
{
    LoadedModule module;
    QVERIFY(module.Loaded());
    ModalAnswerer answerer([](QWidget* open) { open->close(); });
    for (int command : {57607, 59392, 57634, 0, -1, 2011})
        QVERIFY2(!module.SelectedMenu(command), qPrintable(QString::number(command)));
    QCoreApplication::processEvents();
    QVERIFY(!answerer.Answered());
}

void ModuleExportsTest::AboutCommandRunsTheAboutBox()
{
    LoadedModule module;
    QVERIFY(module.Loaded());
    QString text;
    ModalAnswerer answerer([&](QWidget* open) {
        if (auto* info = open->findChild<QLabel*>(QStringLiteral("labelInfo")))
            text = info->text();
        QTest::mouseClick(open->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok), Qt::LeftButton);
    });
    QVERIFY(!module.SelectedMenu(2050));
    QVERIFY(answerer.Answered() && !answerer.TimedOut());
    QCOMPARE(answerer.DialogTitle(), QStringLiteral("About CorvaneTOV"));
    QCOMPARE(text, QStringLiteral("Model    : VQX-B410\nCarrier  : China(Unicom)\nHS Type     : DBDM\n"
                                  "Version  : 1.0.003\nModified : 2006-06-20\n"));
}

void ModuleExportsTest::PortSettingCommandRunsThePortSettingDialog()
{
    LoadedModule module;
    QVERIFY(module.Loaded());
    ModalAnswerer answerer([](QWidget* open) { static_cast<QDialog*>(open)->reject(); });
    QVERIFY(!module.SelectedMenu(2040));
    QVERIFY(answerer.Answered() && !answerer.TimedOut());
    QCOMPARE(answerer.DialogTitle(), QStringLiteral("Port Setting"));
}

void ModuleExportsTest::StringsMenuAndToolBarByNumber()
{
    LoadedModule module;
    QVERIFY(module.Loaded());
    const std::vector<std::pair<int, const char*>> strings = {
        {100, "VQX-B410"}, {101, "China(Unicom)"}, {102, "DBDM"}, {103, "1.0.003"}, {104, "2006-06-20"},
        {105, "Full"}, {2030, "CLOSE\nClose"}, {2040, "COM Port Setting\nCom Port"}, {2050, "Help\nHelp"},
        {2060, "Serve every handset plugged in at once\nStation"}, {57607, "Print the active document\nPrint"},
    };
    for (const auto& [id, text] : strings)
        QCOMPARE(QByteArray(module.LoadString(id)), QByteArray(text));
    QCOMPARE(module.LoadString(106), nullptr);

    const MenuEntry* menu = module.Resolve<LoadPluginMenuFunc>("LoadPluginMenu")(2000);
    QVERIFY(menu);
    QStringList items;
    for (; menu->m_depth >= 0; ++menu)
        items << QStringLiteral("%1:%2:%3").arg(menu->m_depth).arg(menu->m_command).arg(QLatin1String(menu->m_text));
    QCOMPARE(items, QStringList({"0:0:&File", "1:57607:&Print", "1:2010:&Close", "0:0:&View", "1:59392:&Tool bar",
                                 "1:2070:Service &history", "0:0:&Setup", "1:2040:&Port Setting", "1:2060:&Station", "0:0:&Help", "1:2050:&About CorvaneTOV"}));
    QCOMPARE(module.Resolve<LoadPluginMenuFunc>("LoadPluginMenu")(2001), nullptr);

    const ToolBarResource* toolBar = module.Resolve<LoadPluginToolBarFunc>("LoadPluginToolBar")(2000);
    QVERIFY(toolBar);
    QCOMPARE(toolBar->m_buttonWidth, 16);
    QCOMPARE(toolBar->m_buttonHeight, 15);
    const std::vector<unsigned> commands(toolBar->m_commands, toolBar->m_commands + toolBar->m_count);
    QCOMPARE(commands, (std::vector<unsigned>{57607, 2040, 0, 2050, 0, 2030, 0, 2060}));
    // One image per button, found while the module is loaded.
    const QPixmap strip(QString::fromLatin1(toolBar->m_bitmapPath));
    QCOMPARE(strip.size(), QSize(5 * 16, 15));
}

QTEST_MAIN(ModuleExportsTest)
#include "ModuleExportsTest.moc"
