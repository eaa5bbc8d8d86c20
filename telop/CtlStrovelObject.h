#pragma once

// CtlStrovel as an object of the component model: created by its class factory, embedded in a
// host's window through its client site, loaded from and saved to the host's property bag, and
// driven late-bound by dispatch identifier. Events and property-changed notifications go out
// through its two connection points.

#include "com/Com.h"
#include "com/ConnectionPoint.h"
#include "com/InprocServer.h"

#include <QPointer>
#include <atomic>

class CtlStrovel;
class QThread;

class CtlStrovelObject final : public platform::com::IDispatch,
                               public platform::com::IPersistPropertyBag,
                               public platform::com::IOleObject,
                               public platform::com::IConnectionPointContainer
{
public:
    using HResult = platform::com::HResult;
    using DispId = platform::com::DispId;

    static HResult create(platform::com::ServerModule& module, const QUuid& iid, void** object);

    // IUnknown
    HResult QueryInterface(const QUuid& iid, void** object) override;
    uint32_t AddRef() override { return ++m_refs; }
    uint32_t Release() override;

    // IDispatch
    HResult GetTypeInfo(const platform::com::TypeInfo** info) override;
    HResult GetIDsOfNames(const QString& name, DispId* id) override;
    HResult Invoke(DispId id, uint16_t flags, QVariantList& args, QVariant* result,
                   platform::com::ExcepInfo* excepInfo) override;

    // IPersistPropertyBag
    HResult InitNew() override;
    HResult Load(const platform::PropertyBag& bag) override;
    HResult Save(platform::PropertyBag& bag, bool clearDirty, bool saveAllProperties) override;

    // IOleObject
    HResult SetClientSite(platform::com::IOleClientSite* site) override;
    HResult GetWindow(QWidget** window) override;

    // IConnectionPointContainer
    HResult FindConnectionPoint(const QUuid& iid, platform::com::IConnectionPoint** point) override;
    HResult EnumConnectionPoints(QList<QUuid>* iids) override;

private:
    explicit CtlStrovelObject(platform::com::ServerModule& module);
    ~CtlStrovelObject();

    HResult getProperty(DispId id, QVariant* value);
    HResult putProperty(DispId id, const QVariant& value);
    HResult callMethod(DispId id, QVariantList& args, QVariant* result);
    HResult failureOfLastCall(platform::com::ExcepInfo* excepInfo);

    platform::com::ModuleLock m_lock;
    std::atomic<uint32_t> m_refs{1};
    QThread* m_thread;
    QPointer<CtlStrovel> m_control;
    platform::com::ConnectionPoint m_events;
    platform::com::ConnectionPoint m_notifications;
};
