#pragma once

// Creating objects by class id or ProgID. Classes are looked up in the per-user class
// registry; a class that is not registered there (or whose registered library can not be
// loaded) is looked for in the server libraries of the host program's own folder, so a fresh
// program folder runs as it is. Server libraries stay loaded for the rest of the process.

#include "com/Com.h"
#include "com/ComExport.h"
#include "com/TypeInfo.h"

#include <QByteArray>
#include <QString>
#include <QUuid>
#include <optional>

namespace platform::com {

PLATFORM_COM_EXPORT HResult CLSIDFromProgID(const QString& progId, QUuid* clsid);
// A class id in braces, or a ProgID.
PLATFORM_COM_EXPORT HResult CLSIDFromString(const QString& text, QUuid* clsid);
PLATFORM_COM_EXPORT HResult CoGetClassObject(const QUuid& clsid, const QUuid& iid, void** object);
PLATFORM_COM_EXPORT HResult CoCreateInstance(const QUuid& clsid, IUnknown* outer, const QUuid& iid,
                                             void** object);

// The folder searched for unregistered classes; the running program's folder by default.
PLATFORM_COM_EXPORT void setHostProgramFolder(const QString& folder);
// A server library searched after those of the host program's folder, named by its file name
// alone: the system's loader finds it where libraries are installed.
PLATFORM_COM_EXPORT void addServerLibrary(const QString& fileName);

// A resource embedded in a server library file ("TYPELIB" 1, "VERSION" 1, "BITMAP" 30000...),
// or an empty array.
PLATFORM_COM_EXPORT QByteArray libraryResource(const QString& libraryPath, const char* type,
                                               int id);
PLATFORM_COM_EXPORT std::optional<TypeLibInfo> libraryTypeLib(const QString& libraryPath);

// A readable text for an HResult, for log lines and tools.
PLATFORM_COM_EXPORT QString describeHResult(HResult hr);

} // namespace platform::com
