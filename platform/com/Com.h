#pragma once

// The component object model the programs embed controls with: reference-counted objects with
// interface query, class factories, late binding by dispatch identifier, connection points
// for events and notifications, property-bag persistence and embedding into a host window.
// Interfaces are abstract C++ classes shared by libraries built with the same compiler; no
// exception crosses them, every call returns an HResult.

#include <QList>
#include <QUuid>
#include <QVariant>
#include <QVariantList>
#include <cstdint>

class QWidget;

namespace platform {
class PropertyBag;
}

namespace platform::com {

using HResult = int32_t;
using DispId = int32_t;

constexpr HResult S_OK = 0;
constexpr HResult S_FALSE = 1;
constexpr HResult E_NOTIMPL = HResult(0x80004001);
constexpr HResult E_NOINTERFACE = HResult(0x80004002);
constexpr HResult E_POINTER = HResult(0x80004003);
constexpr HResult E_FAIL = HResult(0x80004005);
constexpr HResult E_UNEXPECTED = HResult(0x8000FFFF);
constexpr HResult E_INVALIDARG = HResult(0x80070057);
constexpr HResult CLASS_E_NOAGGREGATION = HResult(0x80040110);
constexpr HResult CLASS_E_CLASSNOTAVAILABLE = HResult(0x80040111);
constexpr HResult REGDB_E_CLASSNOTREG = HResult(0x80040154);
constexpr HResult SELFREG_E_TYPELIB = HResult(0x80040200);
constexpr HResult SELFREG_E_CLASS = HResult(0x80040201);
constexpr HResult CO_E_CLASSSTRING = HResult(0x800401F3);
constexpr HResult CO_E_DLLNOTFOUND = HResult(0x800401F8);
constexpr HResult CO_E_ERRORINDLL = HResult(0x800401F9);
constexpr HResult CONNECT_E_NOCONNECTION = HResult(0x80040200);
constexpr HResult CONNECT_E_CANNOTCONNECT = HResult(0x80040202);
constexpr HResult DISP_E_MEMBERNOTFOUND = HResult(0x80020003);
constexpr HResult DISP_E_TYPEMISMATCH = HResult(0x80020005);
constexpr HResult DISP_E_UNKNOWNNAME = HResult(0x80020006);
constexpr HResult DISP_E_EXCEPTION = HResult(0x80020009);
constexpr HResult DISP_E_OVERFLOW = HResult(0x8002000A);
constexpr HResult DISP_E_BADPARAMCOUNT = HResult(0x8002000E);
constexpr HResult RPC_E_WRONG_THREAD = HResult(0x8001010E);

inline bool succeeded(HResult hr)
{
    return hr >= 0;
}
inline bool failed(HResult hr)
{
    return hr < 0;
}

// Kinds of Invoke.
enum DispatchFlags : uint16_t
{
    DISPATCH_METHOD = 1,
    DISPATCH_PROPERTYGET = 2,
    DISPATCH_PROPERTYPUT = 4,
    DISPATCH_PROPERTYPUTREF = 8,
};

// Standard dispatch identifiers.
constexpr DispId DISPID_UNKNOWN = -1;
constexpr DispId DISPID_FONT = -512;
constexpr DispId DISPID_ABOUTBOX = -552;

struct IUnknown
{
    static constexpr QUuid IID{0x847ba215, 0x1e1b, 0x4b24, 0xbe, 0xba, 0x7a,
                               0x07,       0x7c,   0x2a,   0x61, 0xf7};
    // On success *object holds an added reference to the asked interface.
    virtual HResult QueryInterface(const QUuid& iid, void** object) = 0;
    virtual uint32_t AddRef() = 0;
    virtual uint32_t Release() = 0;

protected:
    ~IUnknown() = default;
};

// What a failed Invoke reports besides its HResult.
struct ExcepInfo
{
    int32_t code = 0; // the error number the member raised
    QString source;
    QString description;
};

struct TypeInfo;

struct IDispatch : IUnknown
{
    static constexpr QUuid IID{0x33b013a7, 0x39fa, 0x459b, 0xa2, 0xa8, 0x3c,
                               0x21,       0x35,   0x16,   0x09, 0xba};
    // The description of this interface (members, identifiers, help texts); owned by the object.
    virtual HResult GetTypeInfo(const TypeInfo** info) = 0;
    virtual HResult GetIDsOfNames(const QString& name, DispId* id) = 0;
    // args are the arguments in declaration order; by-reference arguments may be written back.
    // result and excepInfo may be null.
    virtual HResult Invoke(DispId id, uint16_t flags, QVariantList& args, QVariant* result,
                           ExcepInfo* excepInfo) = 0;

protected:
    ~IDispatch() = default;
};

struct IClassFactory : IUnknown
{
    static constexpr QUuid IID{0x3e61c29c, 0x9897, 0x47d9, 0xbe, 0xaa, 0x4e,
                               0x38,       0xa2,   0xd0,   0x4c, 0x41};
    virtual HResult CreateInstance(IUnknown* outer, const QUuid& iid, void** object) = 0;
    // A lock keeps the serving library loaded while no object exists.
    virtual HResult LockServer(bool lock) = 0;

protected:
    ~IClassFactory() = default;
};

struct IConnectionPoint : IUnknown
{
    static constexpr QUuid IID{0xc31b80ef, 0x6fe8, 0x4b99, 0xbf, 0xcf, 0xc4,
                               0x8c,       0x2b,   0xf7,   0x80, 0x0a};
    virtual HResult GetConnectionInterface(QUuid* iid) = 0;
    // sink must answer QueryInterface for the connection interface.
    virtual HResult Advise(IUnknown* sink, uint32_t* cookie) = 0;
    virtual HResult Unadvise(uint32_t cookie) = 0;

protected:
    ~IConnectionPoint() = default;
};

struct IConnectionPointContainer : IUnknown
{
    static constexpr QUuid IID{0xd711c1e0, 0x0492, 0x49c2, 0x8b, 0x7e, 0xad,
                               0xc2,       0xf2,   0x8f,   0x01, 0x38};
    virtual HResult FindConnectionPoint(const QUuid& iid, IConnectionPoint** point) = 0;
    // The interfaces of all connection points: events and property notifications.
    virtual HResult EnumConnectionPoints(QList<QUuid>* iids) = 0;

protected:
    ~IConnectionPointContainer() = default;
};

// A control's persisted properties: a new instance, or one loaded from a host's stored bag.
struct IPersistPropertyBag : IUnknown
{
    static constexpr QUuid IID{0x590e72c0, 0x04e2, 0x41ff, 0x97, 0x76, 0x1b,
                               0x61,       0xd1,   0x3b,   0x6c, 0xaa};
    virtual HResult InitNew() = 0;
    virtual HResult Load(const PropertyBag& bag) = 0;
    virtual HResult Save(PropertyBag& bag, bool clearDirty, bool saveAllProperties) = 0;

protected:
    ~IPersistPropertyBag() = default;
};

// The host side of an embedded control.
struct IOleClientSite : IUnknown
{
    static constexpr QUuid IID{0x76bce7c7, 0xf9ec, 0x4159, 0x8f, 0x3c, 0x3e,
                               0xa0,       0x46,   0x5b,   0x55, 0x8b};
    // The window the control is placed in. Its font is the container's ambient font.
    virtual QWidget* GetContainerWindow() = 0;

protected:
    ~IOleClientSite() = default;
};

// An embeddable control.
struct IOleObject : IUnknown
{
    static constexpr QUuid IID{0x4588e8c5, 0xf31e, 0x43bb, 0x9c, 0x4a, 0xd4,
                               0xa6,       0xd6,   0x36,   0x08, 0x65};
    // Places the control in the site's window (or takes it out, with null).
    virtual HResult SetClientSite(IOleClientSite* site) = 0;
    // The control's own window, for the host to position and size.
    virtual HResult GetWindow(QWidget** window) = 0;

protected:
    ~IOleObject() = default;
};

// Told by a control when one of its properties changed.
struct IPropertyNotifySink : IUnknown
{
    static constexpr QUuid IID{0x05d6ffa9, 0x35a8, 0x47f0, 0xb0, 0x87, 0x50,
                               0xbd,       0x50,   0xff,   0x66, 0x85};
    virtual HResult OnChanged(DispId id) = 0;

protected:
    ~IPropertyNotifySink() = default;
};

// The signatures of a server library's entry points.
using DllGetClassObjectFunction = HResult (*)(const QUuid& clsid, const QUuid& iid, void** object);
using DllCanUnloadNowFunction = HResult (*)();
using DllRegisterServerFunction = HResult (*)();
using DllUnregisterServerFunction = HResult (*)();
// Embedded resources by type and id ("TYPELIB" 1, "VERSION" 1, "BITMAP" 30000, ...).
using DllGetResourceFunction = HResult (*)(const char* type, int id, const char** data, int* size);

} // namespace platform::com
