#include "com/ConnectionPoint.h"

namespace platform::com {

ConnectionPoint::ConnectionPoint(IUnknown& owner, const QUuid& iid) : m_owner(owner), m_iid(iid) {}

ConnectionPoint::~ConnectionPoint() = default;

HResult ConnectionPoint::QueryInterface(const QUuid& iid, void** object)
{
    if (!object)
        return E_POINTER;
    if (iid == IUnknown::IID || iid == IConnectionPoint::IID) {
        *object = static_cast<IConnectionPoint*>(this);
        AddRef();
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

HResult ConnectionPoint::GetConnectionInterface(QUuid* iid)
{
    if (!iid)
        return E_POINTER;
    *iid = m_iid;
    return S_OK;
}

HResult ConnectionPoint::Advise(IUnknown* sink, uint32_t* cookie)
{
    if (!sink || !cookie)
        return E_POINTER;
    ComPtr<IUnknown> connection;
    if (failed(sink->QueryInterface(m_iid, connection.put())))
        return CONNECT_E_CANNOTCONNECT;
    *cookie = m_nextCookie++;
    m_sinks.append({*cookie, connection});
    return S_OK;
}

HResult ConnectionPoint::Unadvise(uint32_t cookie)
{
    const auto removed =
        m_sinks.removeIf([cookie](const auto& entry) { return entry.first == cookie; });
    return removed ? S_OK : CONNECT_E_NOCONNECTION;
}

void ConnectionPoint::fire(DispId event)
{
    const auto sinks = m_sinks; // a sink may disconnect while it is called
    for (const auto& [cookie, sink] : sinks) {
        QVariantList noArguments;
        static_cast<IDispatch*>(sink.get())
            ->Invoke(event, DISPATCH_METHOD, noArguments, nullptr, nullptr);
    }
}

void ConnectionPoint::notifyChanged(DispId property)
{
    const auto sinks = m_sinks;
    for (const auto& [cookie, sink] : sinks)
        static_cast<IPropertyNotifySink*>(sink.get())->OnChanged(property);
}

} // namespace platform::com
