#pragma once

// One outgoing interface of an object: the sinks that hosts connected, and calling them.

#include "com/ComExport.h"
#include "com/ComPtr.h"

#include <QList>
#include <QUuid>
#include <utility>

namespace platform::com {

class PLATFORM_COM_EXPORT ConnectionPoint final : public IConnectionPoint
{
public:
    // owner: the object the point belongs to; it holds the point's references.
    ConnectionPoint(IUnknown& owner, const QUuid& iid);
    ~ConnectionPoint();

    HResult QueryInterface(const QUuid& iid, void** object) override;
    uint32_t AddRef() override { return m_owner.AddRef(); }
    uint32_t Release() override { return m_owner.Release(); }

    HResult GetConnectionInterface(QUuid* iid) override;
    HResult Advise(IUnknown* sink, uint32_t* cookie) override;
    HResult Unadvise(uint32_t cookie) override;

    const QUuid& iid() const { return m_iid; }
    int sinkCount() const { return int(m_sinks.size()); }

    // Calls an event without arguments on every connected dispatch sink.
    void fire(DispId event);
    // Tells every connected property-notify sink that a property changed.
    void notifyChanged(DispId property);
    // Drops all sinks, for when the owner goes away.
    void disconnectAll() { m_sinks.clear(); }

private:
    IUnknown& m_owner;
    QUuid m_iid;
    uint32_t m_nextCookie = 1;
    // The sinks' connection interfaces, held as the pointers QueryInterface gave for m_iid.
    QList<std::pair<uint32_t, ComPtr<IUnknown>>> m_sinks;
};

} // namespace platform::com
