// The library's entry points as a server of the CtlStrovel control class.

#include "CtlStrovelObject.h"
#include "StrovelExport.h"
#include "StrovelIds.h"
#include "StrovelTypeLib.h"

#include "com/InprocServer.h"

#include <QByteArray>
#include <QFile>
#include <QHash>
#include <QString>

using namespace platform::com;

extern "C" STROVEL_EXPORT HResult DllGetClassObject(const QUuid& clsid, const QUuid& iid,
                                                    void** object);

namespace {

ServerModule& serverModule()
{
    static ServerModule module(strovel::typeLibrary(),
                               {{strovel::CLSID_CtlStrovel,
                                 [](const QUuid& iid, void** object) {
                                     return CtlStrovelObject::create(serverModule(), iid, object);
                                 }}},
                               strovel::ToolboxBitmapId,
                               reinterpret_cast<const void*>(&DllGetClassObject));
    return module;
}

QByteArray embeddedFile(const char* path)
{
    QFile file(QString::fromLatin1(path));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The library's resources, built once and kept while it is loaded.
const QHash<QString, QByteArray>& resources()
{
    static const QHash<QString, QByteArray> table{
        {QStringLiteral("TYPELIB/1"), strovel::typeLibrary().toJson()},
        {QStringLiteral("VERSION/1"), strovel::versionBlock()},
        {QStringLiteral("BITMAP/%1").arg(strovel::ToolboxBitmapId),
         embeddedFile(":/strovel/toolbox.bmp")},
        {QStringLiteral("ICON/1"), embeddedFile(":/strovel/about.bmp")},
    };
    return table;
}

} // namespace

extern "C" {

// Registers the type library and the class in the per-user class registry.
STROVEL_EXPORT HResult DllRegisterServer()
{
    return serverModule().registerServer();
}

// Removes what DllRegisterServer wrote.
STROVEL_EXPORT HResult DllUnregisterServer()
{
    return serverModule().unregisterServer();
}

// The class factory of CtlStrovel.
STROVEL_EXPORT HResult DllGetClassObject(const QUuid& clsid, const QUuid& iid, void** object)
{
    return serverModule().getClassObject(clsid, iid, object);
}

// S_OK only while no object of the library and no factory or lock exists.
STROVEL_EXPORT HResult DllCanUnloadNow()
{
    return serverModule().canUnloadNow();
}

// An embedded resource: "TYPELIB" 1, "VERSION" 1, "BITMAP" 30000 (toolbox), "ICON" 1.
STROVEL_EXPORT HResult DllGetResource(const char* type, int id, const char** data, int* size)
{
    if (!type || !data || !size)
        return E_POINTER;
    const auto found =
        resources().constFind(QStringLiteral("%1/%2").arg(QLatin1String(type)).arg(id));
    if (found == resources().constEnd() || found->isEmpty())
        return E_INVALIDARG;
    *data = found->constData();
    *size = int(found->size());
    return S_OK;
}

} // extern "C"
