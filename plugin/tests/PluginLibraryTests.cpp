#include "model/tests/GatewayFixture.h"
#include "platform/FileRegistry.h"
#include "plugin/UIPluginVeltrona.h"

#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>
#include <dlfcn.h>

namespace {

using GetClassObject = HRESULT (*)(const CLSID&, const IID&, void**);
using Simple = HRESULT (*)();

// Counts its references, to see that the plug-in releases what it holds.
class Counted final : public ComObject<IEtsHostWindow>
{
public:
    HRESULT get_Parent(IEtsHostWindow** p) override
    {
        *p = nullptr;
        return S_FALSE;
    }
    HRESULT GetAppProc(const std::string&, EtsAppProc*) override { return S_FALSE; }
    HRESULT get_NativeHandle(std::uintptr_t* h) override
    {
        *h = 0;
        return S_OK;
    }
    std::uint32_t Refs()
    {
        AddRef();
        return Release();
    }
};

// Presses a button of the modal window as soon as it shows.
void PressWhenShown(const QString& text)
{
    QTimer::singleShot(50, [text] {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal) {
            PressWhenShown(text);
            return;
        }
        for (auto* button : modal->findChildren<QPushButton*>())
            if (button->text() == text)
                button->click();
    });
}

} // namespace

class PluginLibraryTests : public QObject
{
    Q_OBJECT

    QTemporaryDir m_config;
    void* m_library = nullptr;
    GetClassObject m_getClassObject = nullptr;

    ComPtr<IDeviceParameterDialog> Create()
    {
        ComPtr<IClassFactory> factory;
        if (FAILED(m_getClassObject(CLSID_UIPluginVeltrona, IClassFactory::iid, OutPtr(factory))))
            return {};
        ComPtr<IDeviceParameterDialog> dialog;
        factory->CreateInstance(nullptr, IDeviceParameterDialog::iid, OutPtr(dialog));
        return dialog;
    }

private slots:
    void initTestCase()
    {
        qputenv("XDG_CONFIG_HOME", m_config.path().toUtf8());
        qputenv("VELTRONA_REGISTRY", (m_config.path() + "/registry").toUtf8());
        m_library = dlopen(VELTRONA_PLUGIN_PATH, RTLD_NOW | RTLD_LOCAL);
        QVERIFY2(m_library, dlerror());
        m_getClassObject = reinterpret_cast<GetClassObject>(dlsym(m_library, "DllGetClassObject"));
        QVERIFY(m_getClassObject);
    }

    void registrationWritesWhereTheHostLooks()
    {
        auto registerServer = reinterpret_cast<Simple>(dlsym(m_library, "DllRegisterServer"));
        auto unregisterServer = reinterpret_cast<Simple>(dlsym(m_library, "DllUnregisterServer"));
        QCOMPARE(registerServer(), S_OK);
        FileRegistry registry;
        QVERIFY(registry.Load(FileRegistry::DefaultPath()));
        const auto clsid = registry.GetValue("Veltrona.UIPluginVeltrona\\CLSID");
        QCOMPARE(QString::fromStdString(clsid.value_or("")),
                 QString::fromStdString(GuidToString(CLSID_UIPluginVeltrona)));
        QCOMPARE(registry.GetValue("Veltrona.UIPluginVeltrona\\CurVer").value_or(""),
                 std::string("Veltrona.UIPluginVeltrona.1"));
        const std::string server = registry.GetValue("CLSID\\" + *clsid + "\\InprocServer32").value_or("");
        QVERIFY(server.find("libveltrona-plugin.so") != std::string::npos);
        QCOMPARE(registry.GetValue("CLSID\\" + *clsid + "\\InprocServer32", "ThreadingModel").value_or(""),
                 std::string("Apartment"));
        QCOMPARE(unregisterServer(), S_OK);
        QVERIFY(registry.Load(FileRegistry::DefaultPath()));
        QVERIFY(!registry.KeyExists("Veltrona.UIPluginVeltrona"));
        QVERIFY(registry.KeyExists("CLSID"));
    }

    void factoryAnswersOnlyItsClass()
    {
        ComPtr<IClassFactory> factory;
        QCOMPARE(m_getClassObject(GUID_NULL, IClassFactory::iid, OutPtr(factory)), CLASS_E_CLASSNOTAVAILABLE);
        QCOMPARE(m_getClassObject(CLSID_UIPluginVeltrona, IClassFactory::iid, OutPtr(factory)), S_OK);
        ComPtr<IUnknown> inner;
        QCOMPARE(factory->CreateInstance(reinterpret_cast<IUnknown*>(factory.Get()),
                                         IDeviceParameterDialog::iid, OutPtr(inner)),
                 CLASS_E_NOAGGREGATION);
    }

    void anAggregatedObjectCountsOnItsOuterObject()
    {
        // The outer object only counts; it hands its own identity out.
        struct Outer final : IUnknown
        {
            HRESULT QueryInterface(const IID& riid, void** object) override
            {
                if (riid == IUnknown::iid) {
                    *object = this;
                    AddRef();
                    return S_OK;
                }
                return inner->QueryInterface(riid, object);
            }
            std::uint32_t AddRef() override { return ++refs; }
            std::uint32_t Release() override { return --refs; }
            IUnknown* inner = nullptr;
            std::uint32_t refs = 1;
        };
        Outer outer;
        ComPtr<IClassFactory> factory;
        QCOMPARE(m_getClassObject(CLSID_UIPluginVeltrona, IClassFactory::iid, OutPtr(factory)), S_OK);
        QCOMPARE(factory->CreateInstance(&outer, IUnknown::iid, reinterpret_cast<void**>(&outer.inner)),
                 S_OK);
        IDeviceParameterDialog* dialog = nullptr;
        QCOMPARE(outer.inner->QueryInterface(IDeviceParameterDialog::iid, reinterpret_cast<void**>(&dialog)),
                 S_OK);
        QCOMPARE(outer.refs, 2u); // the interface's reference belongs to the outer object
        IUnknown* identity = nullptr;
        QCOMPARE(dialog->QueryInterface(IUnknown::iid, reinterpret_cast<void**>(&identity)), S_OK);
        QCOMPARE(static_cast<void*>(identity), static_cast<void*>(&outer));
        identity->Release();
        dialog->Release();
        QCOMPARE(outer.refs, 1u);
        outer.inner->Release(); // the inner object goes
    }

    void hostObjectsAreHeldAndReleasedOnce()
    {
        auto canUnload = reinterpret_cast<Simple>(dlsym(m_library, "DllCanUnloadNow"));
        auto first = MakeComObject<Counted>(), second = MakeComObject<Counted>();
        {
            auto dialog = Create();
            QVERIFY(dialog);
            QCOMPARE(canUnload(), S_FALSE);
            IUnknown* objects[] = {first.Get()};
            QCOMPARE(dialog->SetHostObjects(1, objects), S_OK);
            QCOMPARE(first->Refs(), 2u);
            QCOMPARE(dialog->SetHostObjects(1, nullptr), E_POINTER);
            QCOMPARE(first->Refs(), 2u); // a null array keeps what is held
            objects[0] = second.Get();
            QCOMPARE(dialog->SetHostObjects(1, objects), S_OK);
            QCOMPARE(first->Refs(), 1u);
            QCOMPARE(second->Refs(), 2u);
            QCOMPARE(dialog->SetHostObjects(0x40000000u, objects), E_OUTOFMEMORY);
            QCOMPARE(second->Refs(), 1u); // a refused count holds nothing
            ComPtr<ISupportErrorInfo> errors;
            QCOMPARE(dialog.As(&errors), S_OK);
            QCOMPARE(errors->InterfaceSupportsErrorInfo(IDeviceParameterDialog::iid), S_FALSE);
            QCOMPARE(dialog->ShowModal(nullptr), E_FAIL); // no device: no session
        }
        QCOMPARE(canUnload(), S_OK);
    }

    void sessionsEndWithTheirResult()
    {
        auto device = fixture::MakeGateway();
        auto dialog = Create();
        IUnknown* objects[] = {device.Get()};
        QCOMPARE(dialog->SetHostObjects(1, objects), S_OK);
        PressWhenShown(QStringLiteral("OK"));
        QCOMPARE(dialog->ShowModal(nullptr), S_OK);
        PressWhenShown(QStringLiteral("Cancel"));
        QCOMPARE(dialog->ShowModal(nullptr), E_ABORT);
    }
};

QTEST_MAIN(PluginLibraryTests)
#include "PluginLibraryTests.moc"
