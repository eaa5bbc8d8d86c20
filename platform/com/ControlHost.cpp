#include "com/ControlHost.h"

#include "com/ComRuntime.h"
#include "com/PropertyBag.h"

#include <QLoggingCategory>
#include <QResizeEvent>

Q_LOGGING_CATEGORY(lcHost, "lumaret.com.host")

namespace platform::com {

// The host's side towards the control: client site, property-notify sink and event sink.
// It lives exactly as long as the host, so its references are not counted.
class ControlHost::Site final : public IOleClientSite, public IPropertyNotifySink, public IDispatch
{
public:
    explicit Site(ControlHost& host) : m_host(host) {}

    QUuid eventIid; // the control's event interface, answered with IDispatch

    HResult QueryInterface(const QUuid& iid, void** object) override
    {
        if (!object)
            return E_POINTER;
        if (iid == IUnknown::IID || iid == IOleClientSite::IID)
            *object = static_cast<IOleClientSite*>(this);
        else if (iid == IPropertyNotifySink::IID)
            *object = static_cast<IPropertyNotifySink*>(this);
        else if (iid == IDispatch::IID || (!eventIid.isNull() && iid == eventIid))
            *object = static_cast<IDispatch*>(this);
        else {
            *object = nullptr;
            return E_NOINTERFACE;
        }
        return S_OK;
    }
    uint32_t AddRef() override { return 1; }
    uint32_t Release() override { return 1; }

    QWidget* GetContainerWindow() override { return &m_host; }

    HResult OnChanged(DispId id) override
    {
        emit m_host.controlPropertyChanged(id);
        return S_OK;
    }

    HResult GetTypeInfo(const TypeInfo** info) override
    {
        if (info)
            *info = nullptr;
        return E_NOTIMPL;
    }
    HResult GetIDsOfNames(const QString&, DispId* id) override
    {
        if (id)
            *id = DISPID_UNKNOWN;
        return DISP_E_UNKNOWNNAME;
    }
    HResult Invoke(DispId id, uint16_t, QVariantList&, QVariant*, ExcepInfo*) override
    {
        emit m_host.controlEvent(id);
        return S_OK;
    }

private:
    ControlHost& m_host;
};

ControlHost::ControlHost(QWidget* parent) : QWidget(parent), m_site(std::make_unique<Site>(*this))
{
}

ControlHost::~ControlHost()
{
    releaseControl();
}

HResult ControlHost::createControl(const QString& classText, const PropertyBag* bag)
{
    releaseControl();
    QUuid clsid;
    HResult hr = CLSIDFromString(classText, &clsid);
    if (succeeded(hr))
        hr = CoCreateInstance(clsid, nullptr, IUnknown::IID, m_control.put());
    ComPtr<IOleObject> ole = m_control.query<IOleObject>();
    ComPtr<IPersistPropertyBag> persist = m_control.query<IPersistPropertyBag>();
    if (succeeded(hr) && (!ole || !persist))
        hr = E_NOINTERFACE;
    if (succeeded(hr))
        hr = ole->SetClientSite(m_site.get());
    if (succeeded(hr))
        hr = bag ? persist->Load(*bag) : persist->InitNew();
    if (succeeded(hr)) {
        m_dispatch = m_control.query<IDispatch>();
        hr = m_dispatch ? connectSinks() : E_NOINTERFACE;
    }
    if (failed(hr)) {
        qCWarning(lcHost).noquote()
            << "cannot create control" << classText << ":" << describeHResult(hr);
        releaseControl();
        return hr;
    }
    if (QWidget* window = controlWindow()) {
        window->setGeometry(rect());
        window->show();
    }
    return S_OK;
}

HResult ControlHost::connectSinks()
{
    auto container = m_control.query<IConnectionPointContainer>();
    QList<QUuid> iids;
    if (!container || failed(container->EnumConnectionPoints(&iids)))
        return S_OK; // a control without events or notifications
    for (const QUuid& iid : iids) {
        if (iid != IPropertyNotifySink::IID)
            m_site->eventIid = iid;
        ComPtr<IConnectionPoint> point;
        uint32_t cookie = 0;
        if (succeeded(container->FindConnectionPoint(
                iid, reinterpret_cast<IConnectionPoint**>(point.put()))) &&
            succeeded(point->Advise(static_cast<IOleClientSite*>(m_site.get()), &cookie)))
            m_connections.append({point, cookie});
    }
    return S_OK;
}

void ControlHost::releaseControl()
{
    for (auto& [point, cookie] : m_connections)
        point->Unadvise(cookie);
    m_connections.clear();
    if (auto ole = m_control.query<IOleObject>())
        ole->SetClientSite(nullptr);
    m_dispatch.reset();
    m_control.reset();
    m_site->eventIid = QUuid();
}

QWidget* ControlHost::controlWindow() const
{
    QWidget* window = nullptr;
    if (auto ole = m_control.query<IOleObject>())
        ole->GetWindow(&window);
    return window;
}

HResult ControlHost::invoke(DispId id, uint16_t flags, QVariantList& args, QVariant* result)
{
    m_lastException = {};
    if (!m_dispatch)
        return E_UNEXPECTED;
    const HResult hr = m_dispatch->Invoke(id, flags, args, result, &m_lastException);
    if (failed(hr))
        qCWarning(lcHost).noquote()
            << "call" << id << "failed:" << describeHResult(hr) << m_lastException.description;
    return hr;
}

HResult ControlHost::getProperty(DispId id, QVariant* value)
{
    QVariantList none;
    return invoke(id, DISPATCH_PROPERTYGET, none, value);
}

HResult ControlHost::putProperty(DispId id, const QVariant& value)
{
    QVariantList args{value};
    return invoke(id, DISPATCH_PROPERTYPUT, args, nullptr);
}

HResult ControlHost::putPropertyRef(DispId id, const QVariant& value)
{
    QVariantList args{value};
    return invoke(id, DISPATCH_PROPERTYPUTREF, args, nullptr);
}

HResult ControlHost::call(DispId id, QVariantList args, QVariant* result)
{
    return invoke(id, DISPATCH_METHOD, args, result);
}

HResult ControlHost::saveProperties(PropertyBag& bag)
{
    auto persist = m_control.query<IPersistPropertyBag>();
    return persist ? persist->Save(bag, true, false) : E_UNEXPECTED;
}

void ControlHost::resizeEvent(QResizeEvent* event)
{
    if (QWidget* window = controlWindow())
        window->setGeometry(QRect(QPoint(0, 0), event->size()));
}

} // namespace platform::com
