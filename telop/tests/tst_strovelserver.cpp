// Strovel as a server library, through the real object model: registration, creation by
// ProgID, late binding by dispatch id, events, unloading, the about box and persistence.

#include "StrovelIds.h"

#include "com/ClassRegistry.h"
#include "com/ComPtr.h"
#include "com/ComRuntime.h"
#include "com/ControlHost.h"
#include "com/PropertyBag.h"
#include "com/TypeInfo.h"
#include "runtime/tests/MessageBoxRecorder.h"

#include <QApplication>
#include <QDialog>
#include <QLibrary>
#include <QProcess>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

using namespace platform::com;
namespace dispid = strovel::dispid;

namespace {

const QString ProgramDir = QStringLiteral(PROGRAM_DIR);
const QString Library = ProgramDir + QStringLiteral("/libstrovel.so");
const QString ProgId = QString::fromLatin1(strovel::ProgId);

template <typename F> F entryPoint(const char* name)
{
    return reinterpret_cast<F>(QLibrary(Library).resolve(name));
}

QPixmap dot(QRgb colour)
{
    QImage image(5, 5, QImage::Format_RGB32);
    image.fill(colour);
    return QPixmap::fromImage(image);
}

} // namespace

Q_DECLARE_METATYPE(HResult)

class TestStrovelServer : public QObject
{
    Q_OBJECT

    QTemporaryDir config;
    QTemporaryDir emptyFolder;

private slots:
    // Every test runs with its own, empty class registry.
    void init()
    {
        QVERIFY(config.isValid());
        qputenv("XDG_CONFIG_HOME", config.path().toUtf8());
        QFile::remove(ClassRegistry::defaultPath());
        setHostProgramFolder(ProgramDir);
    }

    void registersAndUnregisters()
    {
        QProcess regsvr;
        regsvr.start(ProgramDir + QStringLiteral("/regsvr"), {Library});
        QVERIFY(regsvr.waitForFinished());
        QCOMPARE(regsvr.exitCode(), 0);
        QVERIFY(regsvr.readAllStandardOutput().contains("DllRegisterServer in"));

        ClassRegistry registry;
        QVERIFY(registry.load());
        const QString clsid = ClassRegistry::classSection(strovel::CLSID_CtlStrovel);
        QCOMPARE(registry.value(clsid, QStringLiteral("ProgID")), ProgId);
        QCOMPARE(registry.value(clsid, QStringLiteral("InprocServer32")), Library);
        QVERIFY(registry.sections().contains(clsid));
        QCOMPARE(registry.value(clsid, QStringLiteral("ToolboxBitmap32")),
                 Library + QStringLiteral(", 30000"));
        QCOMPARE(QUuid::fromString(registry.value(clsid, QStringLiteral("TypeLib"))),
                 strovel::LIBID_STROVEL);
        QCOMPARE(registry.classForProgId(ProgId), std::optional<QUuid>(strovel::CLSID_CtlStrovel));

        QCOMPARE(entryPoint<DllUnregisterServerFunction>("DllUnregisterServer")(), S_OK);
        QVERIFY(registry.load());
        QCOMPARE(registry.sections(), QStringList());
    }

    void createsByProgId_data()
    {
        QTest::addColumn<bool>("registered");
        QTest::addColumn<QString>("registeredPath");
        QTest::addColumn<bool>("programFolderHasIt");
        QTest::addColumn<HResult>("expected");
        QTest::newRow("through the registry") << true << Library << false << S_OK;
        QTest::newRow("unregistered: the program folder") << false << QString() << true << S_OK;
        QTest::newRow("registered library gone: the program folder")
            << true << QStringLiteral("/nonexistent/libstrovel.so") << true << S_OK;
        QTest::newRow("nowhere") << false << QString() << false << CO_E_CLASSSTRING;
    }
    void createsByProgId()
    {
        QFETCH(bool, registered);
        QFETCH(QString, registeredPath);
        QFETCH(bool, programFolderHasIt);
        QFETCH(HResult, expected);
        if (registered) {
            ClassRegistry registry;
            registry.registerServer(*libraryTypeLib(Library), registeredPath, 30000);
            QVERIFY(registry.save());
        }
        setHostProgramFolder(programFolderHasIt ? ProgramDir : emptyFolder.path());
        ControlHost host;
        QCOMPARE(host.createControl(ProgId), expected);
        QCOMPARE(host.hasControl(), expected == S_OK);
    }

    void typeInfoDescribesTheMembers()
    {
        ControlHost host;
        QCOMPARE(host.createControl(ProgId), S_OK);
        const TypeInfo* info = nullptr;
        QCOMPARE(host.dispatch()->GetTypeInfo(&info), S_OK);
        QStringList names;
        for (const MemberInfo& m : info->members)
            names.append(m.name);
        QCOMPARE(names, (QStringList{"Text", "Cls", "Action", "ShowAboutBox", "hWnd", "hDC", "Font",
                                     "Interval", "FrontBmp", "BackBmp", "MoveCount"}));
        QCOMPARE(info->findMember(dispid::Action)->params.value(0).name, QStringLiteral("mode"));
        QCOMPARE(info->findMember(dispid::MoveCount)->helpString,
                 QStringLiteral("移動の間隔をﾋﾟｸｾﾙ単位で設定します。"));
        DispId id = 0;
        QCOMPARE(host.dispatch()->GetIDsOfNames(QStringLiteral("movecount"), &id), S_OK);
        QCOMPARE(id, dispid::MoveCount);
        QCOMPARE(host.dispatch()->GetIDsOfNames(QStringLiteral("Speed"), &id), DISP_E_UNKNOWNNAME);
    }

    void invokesByDispatchId_data()
    {
        QTest::addColumn<DispId>("id");
        QTest::addColumn<int>("flags");
        QTest::addColumn<QVariantList>("args");
        QTest::addColumn<HResult>("expected");
        QTest::addColumn<QVariant>(
            "readBack"); // the property afterwards (or the result of a method)
        const int get = DISPATCH_PROPERTYGET, put = DISPATCH_PROPERTYPUT,
                  putRef = DISPATCH_PROPERTYPUTREF, method = DISPATCH_METHOD;
        QFont font(QStringLiteral("IPAGothic"));
        font.setPixelSize(11);
        QTest::newRow("get Text") << dispid::Text << get << QVariantList{} << S_OK
                                  << QVariant("ABC");
        QTest::newRow("put Text") << dispid::Text << put << QVariantList{"本日"} << S_OK
                                  << QVariant("本日");
        QTest::newRow("put Interval")
            << dispid::Interval << put << QVariantList{40} << S_OK << QVariant(40);
        QTest::newRow("put MoveCount as text") << dispid::MoveCount << put << QVariantList{"3"}
                                               << S_OK << QVariant::fromValue<short>(3);
        QTest::newRow("set Font by reference")
            << dispid::Font << putRef << QVariantList{font} << S_OK << QVariant(font);
        QTest::newRow("Font only by reference")
            << dispid::Font << put << QVariantList{font} << DISP_E_MEMBERNOTFOUND << QVariant();
        QTest::newRow("set FrontBmp by reference")
            << dispid::FrontBmp << putRef << QVariantList{dot(qRgb(0, 255, 0))} << S_OK
            << QVariant();
        QTest::newRow("hDC") << dispid::hDC << get << QVariantList{} << S_OK << QVariant(0);
        QTest::newRow("hWnd is read only")
            << dispid::hWnd << put << QVariantList{1} << DISP_E_MEMBERNOTFOUND << QVariant();
        QTest::newRow("Cls") << dispid::Cls << method << QVariantList{} << S_OK << QVariant();
        QTest::newRow("Action") << dispid::Action << method << QVariantList{2} << S_OK
                                << QVariant::fromValue<short>(0);
        QTest::newRow("Action without mode")
            << dispid::Action << method << QVariantList{} << DISP_E_BADPARAMCOUNT << QVariant();
        QTest::newRow("unknown id")
            << DispId(12345) << get << QVariantList{} << DISP_E_MEMBERNOTFOUND << QVariant();
        QTest::newRow("failing put")
            << dispid::Interval << put << QVariantList{-1} << DISP_E_EXCEPTION << QVariant();
        QTest::newRow("out of 16 bits")
            << dispid::MoveCount << put << QVariantList{40000} << DISP_E_OVERFLOW << QVariant();
        QTest::newRow("not a number")
            << dispid::Interval << put << QVariantList{"fast"} << DISP_E_TYPEMISMATCH << QVariant();
    }
    void invokesByDispatchId()
    {
        QFETCH(DispId, id);
        QFETCH(int, flags);
        QFETCH(QVariantList, args);
        QFETCH(HResult, expected);
        QFETCH(QVariant, readBack);
        ControlHost host;
        QCOMPARE(host.createControl(ProgId), S_OK);
        MessageBoxRecorder answers;
        if (expected == DISP_E_EXCEPTION) {
            QTest::ignoreMessage(QtWarningMsg, QRegularExpression("Interval ended by error 380"));
            QTest::ignoreMessage(QtWarningMsg, QRegularExpression("Interval ended by error 380"));
            QTest::ignoreMessage(QtWarningMsg,
                                 QRegularExpression("call .* failed: DISP_E_EXCEPTION"));
        }

        QVariant result;
        QCOMPARE(host.dispatch()->Invoke(id, uint16_t(flags), args, &result, nullptr), expected);
        if (expected == DISP_E_EXCEPTION) {
            QCOMPARE(host.putProperty(id, args[0]), DISP_E_EXCEPTION);
            QCOMPARE(host.lastException().code, 380);
        }
        if (!readBack.isValid())
            return;
        if (flags == DISPATCH_METHOD) {
            QCOMPARE(result, readBack);
            return;
        }
        QVariant value;
        QCOMPARE(host.getProperty(id, &value), S_OK);
        QCOMPARE(value, readBack);
    }

    void eventsAndNotificationsReachTheHost()
    {
        ControlHost host;
        host.resize(200, 40);
        QCOMPARE(host.createControl(ProgId), S_OK);
        host.show();
        QSignalSpy events(&host, &ControlHost::controlEvent);
        QSignalSpy changes(&host, &ControlHost::controlPropertyChanged);
        QTest::mouseClick(host.controlWindow(), Qt::LeftButton, {}, QPoint(5, 5));
        QTest::mouseDClick(host.controlWindow(), Qt::LeftButton, {}, QPoint(5, 5));
        QCOMPARE(events.count(), 2);
        QCOMPARE(events[0][0].toInt(), dispid::Click);
        QCOMPARE(events[1][0].toInt(), dispid::DblClick);
        QCOMPARE(host.putProperty(dispid::Text, QStringLiteral("XYZ")), S_OK);
        QCOMPARE(changes.count(), 1);
        QCOMPARE(changes[0][0].toInt(), dispid::Text);
    }

    // The library may go only while no object, factory or lock of it exists.
    void unloadsOnlyWhenUnused()
    {
        const auto canUnloadNow = entryPoint<DllCanUnloadNowFunction>("DllCanUnloadNow");
        const auto getClassObject = entryPoint<DllGetClassObjectFunction>("DllGetClassObject");
        QCOMPARE(canUnloadNow(), S_OK);

        ComPtr<IClassFactory> factory;
        QCOMPARE(getClassObject(strovel::CLSID_CtlStrovel, IClassFactory::IID, factory.put()),
                 S_OK);
        QCOMPARE(canUnloadNow(), S_FALSE);
        QCOMPARE(factory->LockServer(true), S_OK);
        ComPtr<IUnknown> object;
        QCOMPARE(factory->CreateInstance(nullptr, IUnknown::IID, object.put()), S_OK);
        factory.reset();
        QCOMPARE(canUnloadNow(), S_FALSE); // object and lock

        object.reset();
        QCOMPARE(canUnloadNow(), S_FALSE); // the lock
        QCOMPARE(getClassObject(strovel::CLSID_CtlStrovel, IClassFactory::IID, factory.put()),
                 S_OK);
        factory->LockServer(false);
        factory.reset();
        QCOMPARE(canUnloadNow(), S_OK);

        QCOMPARE(getClassObject(QUuid::createUuid(), IClassFactory::IID, factory.put()),
                 CLASS_E_CLASSNOTAVAILABLE);
    }

    // Modal until "O.K", and a fresh dialog on every call.
    void aboutBoxIsModalAndFresh()
    {
        ControlHost host;
        QCOMPARE(host.createControl(ProgId), S_OK);
        QList<QPointer<QDialog>> shown;
        for (int call = 0; call < 2; ++call) {
            QTimer::singleShot(0, this, [&] {
                auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
                QVERIFY(dialog);
                shown.append(dialog);
                QCOMPARE(dialog->windowTitle(), QStringLiteral("CtlStrovel"));
                QCOMPARE(dialog->size(), QSize(322, 44)); // 4830 x 660 twips
                auto* ok = dialog->findChild<QPushButton*>();
                QCOMPARE(ok->text(), QStringLiteral("O.K"));
                ok->click();
            });
            QCOMPARE(host.call(dispid::ShowAboutBox), S_OK);
        }
        QCOMPARE(shown.size(), 2);
        QVERIFY(shown[0].isNull() && shown[1].isNull()); // gone when each call returned
    }

    // Properties saved from one instance restore another.
    void propertyBagRestoresAnotherInstance()
    {
        platform::PropertyBag bag;
        {
            ControlHost first;
            QCOMPARE(first.createControl(ProgId), S_OK);
            MessageBoxRecorder answers;
            first.putProperty(dispid::Text, QStringLiteral("開発"));
            first.putProperty(dispid::Interval, 40);
            first.putProperty(dispid::MoveCount, 2);
            first.putPropertyRef(dispid::FrontBmp, dot(qRgb(0, 255, 0)));
            first.putPropertyRef(dispid::BackBmp, dot(qRgb(0, 80, 0)));
            QCOMPARE(first.saveProperties(bag), S_OK);
        }
        ControlHost second;
        QCOMPARE(second.createControl(ProgId, &bag), S_OK);
        QVariant text, interval, moveCount, front;
        second.getProperty(dispid::Text, &text);
        second.getProperty(dispid::Interval, &interval);
        second.getProperty(dispid::MoveCount, &moveCount);
        second.getProperty(dispid::FrontBmp, &front);
        QCOMPARE(text.toString(), QStringLiteral("開発"));
        QCOMPARE(interval.toInt(), 40);
        QCOMPARE(moveCount.toInt(), 2);
        QCOMPARE(front.value<QPixmap>().toImage().pixel(2, 2), qRgb(0, 255, 0));
    }
};

QTEST_MAIN(TestStrovelServer)
#include "tst_strovelserver.moc"
