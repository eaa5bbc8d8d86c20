// The Designer plugin: a .ui file holding the telop loads with QUiLoader, properties and all.

#include "CtlStrovel.h"

#include <QBuffer>
#include <QTest>
#include <QUiLoader>

class TestDesignerPlugin : public QObject
{
    Q_OBJECT

private slots:
    void uiFileLoadsTheTelop()
    {
        QByteArray ui = R"(<?xml version="1.0" encoding="UTF-8"?>
<ui version="4.0">
 <class>Form</class>
 <widget class="QWidget" name="Form">
  <widget class="CtlStrovel" name="stvTelop">
   <property name="geometry"><rect><x>0</x><y>0</y><width>400</width><height>60</height></rect></property>
   <property name="Text"><string>開発</string></property>
   <property name="Interval"><number>40</number></property>
   <property name="MoveCount"><number>2</number></property>
  </widget>
 </widget>
</ui>)";
        QBuffer file(&ui);
        QUiLoader loader;
        loader.addPluginPath(QStringLiteral(DESIGNER_PLUGIN_DIR));
        QVERIFY(loader.availableWidgets().contains(QStringLiteral("CtlStrovel")));
        std::unique_ptr<QWidget> form(loader.load(&file));
        QVERIFY2(form, qPrintable(loader.errorString()));
        auto* telop = form->findChild<CtlStrovel*>(QStringLiteral("stvTelop"));
        QVERIFY(telop);
        QCOMPARE(telop->text().toString(), QStringLiteral("開発"));
        QCOMPARE(telop->interval(), 40);
        QCOMPARE(telop->moveCount(), 2);
        QCOMPARE(telop->size(), QSize(400, 60));
    }
};

QTEST_MAIN(TestDesignerPlugin)
#include "tst_designerplugin.moc"
