#pragma once

#include <QObject>
#include <QtUiPlugin/QDesignerCustomWidgetInterface>

// Puts CtlStrovel in Qt Designer's widget box (with its toolbox picture) and lets QUiLoader
// create it from .ui files.
class StrovelDesignerPlugin : public QObject, public QDesignerCustomWidgetInterface
{
    Q_OBJECT
    Q_PLUGIN_METADATA(IID "org.qt-project.Qt.QDesignerCustomWidgetInterface")
    Q_INTERFACES(QDesignerCustomWidgetInterface)

public:
    using QObject::QObject;

    QString name() const override;
    QString group() const override;
    QIcon icon() const override;
    QString toolTip() const override;
    QString whatsThis() const override;
    bool isContainer() const override { return false; }
    // Designer calls this, QUiLoader does not.
    void initialize(QDesignerFormEditorInterface* core) override { m_inFormEditor = core; }
    bool isInitialized() const override { return m_inFormEditor; }
    QWidget* createWidget(QWidget* parent) override;
    QString includeFile() const override;
    QString domXml() const override;

private:
    bool m_inFormEditor = false;
};
