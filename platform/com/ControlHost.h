#pragma once

// A window that embeds one control created by ProgID or class id and drives it late-bound by
// dispatch identifier. It is the control's site: its window holds the control, its font is
// the ambient font, and it receives the control's events and property-changed notifications,
// which it re-emits as signals. The control fills the host window.

#include "com/Com.h"
#include "com/ComExport.h"
#include "com/ComPtr.h"

#include <QWidget>
#include <memory>

namespace platform {
class PropertyBag;
}

namespace platform::com {

class PLATFORM_COM_EXPORT ControlHost : public QWidget
{
    Q_OBJECT

public:
    explicit ControlHost(QWidget* parent = nullptr);
    ~ControlHost() override;

    // Creates the control ("{class id}" or a ProgID), places it in this window and starts it:
    // from the stored properties when bag is given, as a new instance otherwise. A control
    // created before is released first.
    HResult createControl(const QString& classText, const PropertyBag* bag = nullptr);
    void releaseControl();
    bool hasControl() const { return bool(m_dispatch); }

    HResult getProperty(DispId id, QVariant* value);
    HResult putProperty(DispId id, const QVariant& value);
    HResult putPropertyRef(DispId id, const QVariant& value);
    HResult call(DispId id, QVariantList args = {}, QVariant* result = nullptr);
    HResult saveProperties(PropertyBag& bag);

    // What the control reported with its last failed call.
    const ExcepInfo& lastException() const { return m_lastException; }
    const ComPtr<IDispatch>& dispatch() const { return m_dispatch; }
    QWidget* controlWindow() const;

signals:
    void controlEvent(int dispId);
    void controlPropertyChanged(int dispId);

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    class Site;
    HResult invoke(DispId id, uint16_t flags, QVariantList& args, QVariant* result);
    HResult connectSinks();

    std::unique_ptr<Site> m_site;
    ComPtr<IUnknown> m_control;
    ComPtr<IDispatch> m_dispatch;
    QList<std::pair<ComPtr<IConnectionPoint>, uint32_t>> m_connections;
    ExcepInfo m_lastException;
};

} // namespace platform::com
