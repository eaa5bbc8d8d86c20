#include "CtlStrovelObject.h"

#include "CtlStrovel.h"
#include "CtlStrovel_p.h"
#include "StrovelIds.h"
#include "StrovelTypeLib.h"

#include "com/PropertyBag.h"

#include <QFont>
#include <QHash>
#include <QImage>
#include <QPixmap>
#include <QThread>
#include <cmath>
#include <limits>

using namespace platform::com;
namespace dispid = strovel::dispid;

namespace {

const TypeInfo& controlInterface()
{
    return *strovel::typeLibrary().findInterface(QStringLiteral("_CtlStrovel"));
}

DispId dispIdOfProperty(const QString& name)
{
    const MemberInfo* member = controlInterface().findMember(name);
    return member ? member->id : DISPID_UNKNOWN;
}

// The one kind of call that a member accepts among those the caller allows, or 0.
uint16_t chosenKind(const MemberInfo& member, uint16_t flags)
{
    for (const uint16_t kind :
         {DISPATCH_PROPERTYPUTREF, DISPATCH_PROPERTYPUT, DISPATCH_PROPERTYGET, DISPATCH_METHOD})
        if ((flags & kind) && (member.invokeKinds & kind))
            return kind;
    return 0;
}

// Whole numbers from variants: numbers and numeric text, rounded half to even, in range.
HResult toWholeNumber(const QVariant& value, long long low, long long high, long long* number)
{
    bool ok = false;
    const double d = value.toDouble(&ok);
    if (!ok || !value.isValid())
        return DISP_E_TYPEMISMATCH;
    const double rounded = std::nearbyint(d);
    if (!std::isfinite(rounded) || rounded < double(low) || rounded > double(high))
        return DISP_E_OVERFLOW;
    *number = static_cast<long long>(rounded);
    return S_OK;
}

// Converts to a whole number in [low, high] and hands it to `apply`; or says why it can not.
template <typename Apply>
HResult withWholeNumber(const QVariant& value, long long low, long long high, Apply apply)
{
    long long number = 0;
    const HResult hr = toWholeNumber(value, low, high, &number);
    if (succeeded(hr))
        apply(number);
    return hr;
}

constexpr long long Int16Min = std::numeric_limits<int16_t>::min();
constexpr long long Int16Max = std::numeric_limits<int16_t>::max();
constexpr long long Int32Min = std::numeric_limits<int32_t>::min();
constexpr long long Int32Max = std::numeric_limits<int32_t>::max();

// A picture object: a pixmap or an image; an empty variant is "no picture".
HResult toPicture(const QVariant& value, QPixmap* picture)
{
    if (!value.isValid() || value.isNull()) {
        *picture = QPixmap();
        return S_OK;
    }
    if (value.typeId() == QMetaType::QPixmap) {
        *picture = value.value<QPixmap>();
        return S_OK;
    }
    if (value.typeId() == QMetaType::QImage) {
        *picture = QPixmap::fromImage(value.value<QImage>());
        return S_OK;
    }
    return DISP_E_TYPEMISMATCH;
}

HResult toFont(const QVariant& value, QFont* font)
{
    if (value.typeId() == QMetaType::QFont) {
        *font = value.value<QFont>();
        return S_OK;
    }
    if (value.typeId() == QMetaType::QString && font->fromString(value.toString()))
        return S_OK;
    return DISP_E_TYPEMISMATCH;
}

} // namespace

HResult CtlStrovelObject::create(ServerModule& module, const QUuid& iid, void** object)
{
    auto* instance = new CtlStrovelObject(module);
    const HResult hr = instance->QueryInterface(iid, object);
    instance->Release();
    return hr;
}

CtlStrovelObject::CtlStrovelObject(ServerModule& module)
    : m_lock(module), m_thread(QThread::currentThread()), m_control(new CtlStrovel),
      m_events(*static_cast<IDispatch*>(this), strovel::DIID___CtlStrovel),
      m_notifications(*static_cast<IDispatch*>(this), IPropertyNotifySink::IID)
{
    QObject::connect(m_control, &CtlStrovel::Click, m_control,
                     [this] { m_events.fire(dispid::Click); });
    QObject::connect(m_control, &CtlStrovel::DblClick, m_control,
                     [this] { m_events.fire(dispid::DblClick); });
    QObject::connect(
        m_control, &CtlStrovel::propertyChanged, m_control,
        [this](const QString& name) { m_notifications.notifyChanged(dispIdOfProperty(name)); });
}

CtlStrovelObject::~CtlStrovelObject()
{
    m_events.disconnectAll();
    m_notifications.disconnectAll();
    delete m_control.data(); // unless its host window took it down already
}

uint32_t CtlStrovelObject::Release()
{
    const uint32_t left = --m_refs;
    if (left == 0)
        delete this;
    return left;
}

HResult CtlStrovelObject::QueryInterface(const QUuid& iid, void** object)
{
    if (!object)
        return E_POINTER;
    if (iid == IUnknown::IID || iid == IDispatch::IID || iid == strovel::IID__CtlStrovel)
        *object = static_cast<IDispatch*>(this);
    else if (iid == IPersistPropertyBag::IID)
        *object = static_cast<IPersistPropertyBag*>(this);
    else if (iid == IOleObject::IID)
        *object = static_cast<IOleObject*>(this);
    else if (iid == IConnectionPointContainer::IID)
        *object = static_cast<IConnectionPointContainer*>(this);
    else {
        *object = nullptr;
        return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
}

// ---- Late binding ----------------------------------------------------------------------------

HResult CtlStrovelObject::GetTypeInfo(const TypeInfo** info)
{
    if (!info)
        return E_POINTER;
    *info = &controlInterface();
    return S_OK;
}

HResult CtlStrovelObject::GetIDsOfNames(const QString& name, DispId* id)
{
    if (!id)
        return E_POINTER;
    const MemberInfo* member = controlInterface().findMember(name);
    *id = member ? member->id : DISPID_UNKNOWN;
    return member ? S_OK : DISP_E_UNKNOWNNAME;
}

HResult CtlStrovelObject::Invoke(DispId id, uint16_t flags, QVariantList& args, QVariant* result,
                                 ExcepInfo* excepInfo)
{
    if (QThread::currentThread() != m_thread)
        return RPC_E_WRONG_THREAD;
    if (!m_control)
        return E_UNEXPECTED;
    const MemberInfo* member = controlInterface().findMember(id);
    const uint16_t kind = member ? chosenKind(*member, flags) : 0;
    if (kind == 0)
        return DISP_E_MEMBERNOTFOUND;
    const qsizetype expectedArgs = kind == DISPATCH_PROPERTYGET ? 0
                                   : kind == DISPATCH_METHOD    ? member->params.size()
                                                                : 1;
    if (args.size() != expectedArgs)
        return DISP_E_BADPARAMCOUNT;

    m_control->d->lastError.reset();
    QVariant value;
    const HResult hr = kind == DISPATCH_PROPERTYGET ? getProperty(id, &value)
                       : kind == DISPATCH_METHOD    ? callMethod(id, args, &value)
                                                    : putProperty(id, args[0]);
    if (failed(hr))
        return hr;
    if (m_control->d->lastError)
        return failureOfLastCall(excepInfo);
    if (result)
        *result = value;
    return S_OK;
}

HResult CtlStrovelObject::failureOfLastCall(ExcepInfo* excepInfo)
{
    const platform::RuntimeError& error = *m_control->d->lastError;
    if (excepInfo)
        *excepInfo = {int32_t(error.number()), QStringLiteral("CtlStrovel"), error.description()};
    return DISP_E_EXCEPTION;
}

HResult CtlStrovelObject::getProperty(DispId id, QVariant* value)
{
    CtlStrovel& c = *m_control;
    switch (id) {
    case dispid::Text:
        *value = c.text();
        break;
    case dispid::hWnd:
        *value = c.hWnd();
        break;
    case dispid::hDC:
        *value = c.hDC();
        break;
    case dispid::Font:
        *value = c.textFont();
        break;
    case dispid::Interval:
        *value = c.interval();
        break;
    case dispid::FrontBmp:
        *value = c.frontBmp();
        break;
    case dispid::BackBmp:
        *value = c.backBmp();
        break;
    case dispid::MoveCount:
        *value = QVariant::fromValue<short>(short(c.moveCount()));
        break;
    default:
        return DISP_E_MEMBERNOTFOUND;
    }
    return S_OK;
}

HResult CtlStrovelObject::putProperty(DispId id, const QVariant& value)
{
    CtlStrovel& c = *m_control;
    HResult hr = S_OK;
    switch (id) {
    case dispid::Text:
        c.setText(value);
        return S_OK;
    case dispid::Interval:
        return withWholeNumber(value, Int32Min, Int32Max,
                               [&](long long n) { c.setInterval(int(n)); });
    case dispid::MoveCount:
        return withWholeNumber(value, Int16Min, Int16Max,
                               [&](long long n) { c.setMoveCount(int(n)); });
    case dispid::Font: {
        QFont font;
        hr = toFont(value, &font);
        if (succeeded(hr))
            c.setTextFont(font);
        return hr;
    }
    case dispid::FrontBmp:
    case dispid::BackBmp: {
        QPixmap picture;
        hr = toPicture(value, &picture);
        if (succeeded(hr))
            id == dispid::FrontBmp ? c.setFrontBmp(picture) : c.setBackBmp(picture);
        return hr;
    }
    default:
        return DISP_E_MEMBERNOTFOUND;
    }
}

HResult CtlStrovelObject::callMethod(DispId id, QVariantList& args, QVariant* result)
{
    CtlStrovel& c = *m_control;
    switch (id) {
    case dispid::Cls:
        c.Cls();
        return S_OK;
    case dispid::ShowAboutBox:
        c.ShowAboutBox();
        return S_OK;
    case dispid::Action:
        return withWholeNumber(args[0], Int32Min, Int32Max, [&](long long mode) {
            *result = QVariant::fromValue<short>(short(c.Action(qint32(mode))));
        });
    default:
        return DISP_E_MEMBERNOTFOUND;
    }
}

// ---- Persistence -----------------------------------------------------------------------------

HResult CtlStrovelObject::InitNew()
{
    return m_control && m_control->InitProperties() ? S_OK : E_FAIL;
}

HResult CtlStrovelObject::Load(const platform::PropertyBag& bag)
{
    return m_control && m_control->ReadProperties(bag) ? S_OK : E_FAIL;
}

HResult CtlStrovelObject::Save(platform::PropertyBag& bag, bool, bool)
{
    return m_control && m_control->WriteProperties(bag) ? S_OK : E_FAIL;
}

// ---- Embedding -------------------------------------------------------------------------------

HResult CtlStrovelObject::SetClientSite(IOleClientSite* site)
{
    if (!m_control)
        return E_UNEXPECTED;
    QWidget* container = site ? site->GetContainerWindow() : nullptr;
    m_control->setParent(container); // the container's font becomes the ambient font
    return S_OK;
}

HResult CtlStrovelObject::GetWindow(QWidget** window)
{
    if (!window)
        return E_POINTER;
    *window = m_control.data();
    return m_control ? S_OK : E_UNEXPECTED;
}

HResult CtlStrovelObject::FindConnectionPoint(const QUuid& iid, IConnectionPoint** point)
{
    if (!point)
        return E_POINTER;
    ConnectionPoint* found = iid == m_events.iid()          ? &m_events
                             : iid == m_notifications.iid() ? &m_notifications
                                                            : nullptr;
    *point = found;
    if (!found)
        return CONNECT_E_NOCONNECTION;
    found->AddRef();
    return S_OK;
}

HResult CtlStrovelObject::EnumConnectionPoints(QList<QUuid>* iids)
{
    if (!iids)
        return E_POINTER;
    *iids = {m_events.iid(), m_notifications.iid()};
    return S_OK;
}
