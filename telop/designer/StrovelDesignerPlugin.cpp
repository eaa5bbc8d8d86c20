#include "StrovelDesignerPlugin.h"

#include "CtlStrovel.h"

#include <QIcon>
#include <QPixmap>

QString StrovelDesignerPlugin::name() const
{
    return QStringLiteral("CtlStrovel");
}

QString StrovelDesignerPlugin::group() const
{
    return QStringLiteral("Strovel");
}

QIcon StrovelDesignerPlugin::icon() const
{
    return QIcon(QPixmap(QStringLiteral(":/strovel/toolbox.bmp")));
}

QString StrovelDesignerPlugin::toolTip() const
{
    return QStringLiteral("ﾃﾞｼﾞﾀﾙ掲示板 ｺﾝﾄﾛｰﾙ");
}

QString StrovelDesignerPlugin::whatsThis() const
{
    return QStringLiteral("A dot-matrix message board that scrolls its text.");
}

QWidget* StrovelDesignerPlugin::createWidget(QWidget* parent)
{
    if (!m_inFormEditor)
        return new CtlStrovel(parent);
    // In the form editor the control paints through Qt: a window of its own would cover the
    // editor's selection handles and turn every widget beside it into a window too. Made
    // without a parent, it has not done that yet when it is told.
    auto* control = new CtlStrovel;
    control->setAttribute(Qt::WA_PaintOnScreen, false);
    control->setAttribute(Qt::WA_NativeWindow, false);
    control->setParent(parent);
    return control;
}

QString StrovelDesignerPlugin::includeFile() const
{
    return QStringLiteral("CtlStrovel.h");
}

QString StrovelDesignerPlugin::domXml() const
{
    return QStringLiteral(R"(<ui language="c++">
 <widget class="CtlStrovel" name="stvTelop">
  <property name="geometry"><rect><x>0</x><y>0</y><width>1016</width><height>120</height></rect></property>
 </widget>
</ui>)");
}
