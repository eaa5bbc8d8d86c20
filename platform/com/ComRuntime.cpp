#include "com/ComRuntime.h"

#include "com/ClassRegistry.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QLibrary>
#include <QLoggingCategory>
#include <QMutex>
#include <memory>

Q_LOGGING_CATEGORY(lcCom, "lumaret.com")

namespace platform::com {

namespace {

struct ServerLibrary
{
    std::unique_ptr<QLibrary> library;
    DllGetClassObjectFunction getClassObject = nullptr;
    DllGetResourceFunction getResource = nullptr;
    std::optional<TypeLibInfo> typeLib;
};

struct Servers
{
    QMutex mutex;
    QHash<QString, std::shared_ptr<ServerLibrary>> byPath; // canonical path -> loaded library
    QString hostFolder;
    QStringList namedLibraries; // file names the system's loader finds
};

Servers& servers()
{
    static Servers instance;
    return instance;
}

// Loads a server library once; null when the file is not one. A bare file name is looked
// for where the system's loader looks.
std::shared_ptr<ServerLibrary> loadServer(const QString& path)
{
    const QString canonical =
        path.contains(QLatin1Char('/')) ? QFileInfo(path).canonicalFilePath() : path;
    if (canonical.isEmpty())
        return nullptr;
    Servers& s = servers();
    QMutexLocker locker(&s.mutex);
    if (auto found = s.byPath.value(canonical))
        return found;

    auto server = std::make_shared<ServerLibrary>();
    server->library = std::make_unique<QLibrary>(canonical);
    if (!server->library->load()) {
        qCWarning(lcCom).noquote()
            << "cannot load" << canonical << ":" << server->library->errorString();
        return nullptr;
    }
    server->getClassObject =
        reinterpret_cast<DllGetClassObjectFunction>(server->library->resolve("DllGetClassObject"));
    server->getResource =
        reinterpret_cast<DllGetResourceFunction>(server->library->resolve("DllGetResource"));
    if (!server->getClassObject)
        return nullptr; // a plain library, not a server; it stays loaded like any dependency
    if (server->getResource) {
        const char* data = nullptr;
        int size = 0;
        if (succeeded(server->getResource("TYPELIB", 1, &data, &size)))
            server->typeLib = TypeLibInfo::fromJson(QByteArray(data, size));
    }
    s.byPath.insert(canonical, server);
    return server;
}

// Whether a library file can be a server at all: its symbol names hold the class factory's.
// Looked at without loading it, so that the program's other libraries (some large, opened only
// when needed) are not loaded just to be asked.
bool mayBeServer(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const uchar* bytes = file.map(0, file.size());
    if (!bytes)
        return true; // can not tell: loading it tells
    const bool found = QByteArrayView(reinterpret_cast<const char*>(bytes), file.size())
                           .indexOf(QByteArrayView("DllGetClassObject")) >= 0;
    file.unmap(const_cast<uchar*>(bytes));
    return found;
}

QString hostFolder()
{
    Servers& s = servers();
    QMutexLocker locker(&s.mutex);
    return s.hostFolder.isEmpty() ? QCoreApplication::applicationDirPath() : s.hostFolder;
}

// The server libraries of the host program's folder, in name order, then those the host
// named.
QList<std::shared_ptr<ServerLibrary>> hostFolderServers()
{
    QList<std::shared_ptr<ServerLibrary>> result;
    const QDir folder(hostFolder());
    QStringList paths;
    for (const QFileInfo& file :
         folder.entryInfoList({QStringLiteral("*.so")}, QDir::Files, QDir::Name))
        if (mayBeServer(file.filePath()))
            paths.append(file.filePath());
    {
        Servers& s = servers();
        QMutexLocker locker(&s.mutex);
        paths.append(s.namedLibraries);
    }
    for (const QString& path : paths) {
        if (auto server = loadServer(path); server && !result.contains(server))
            result.append(server);
    }
    return result;
}

std::shared_ptr<ServerLibrary> serverForClass(const QUuid& clsid)
{
    ClassRegistry registry;
    if (registry.load()) {
        const QString path = registry.serverForClass(clsid);
        if (!path.isEmpty()) {
            if (auto server = loadServer(path))
                return server;
            qCWarning(lcCom).noquote() << "registered server" << path << "of" << clsid.toString()
                                       << "is missing; trying the program folder";
        }
    }
    for (const auto& server : hostFolderServers())
        if (server->typeLib && server->typeLib->findCoClass(clsid))
            return server;
    return nullptr;
}

} // namespace

void setHostProgramFolder(const QString& folder)
{
    Servers& s = servers();
    QMutexLocker locker(&s.mutex);
    s.hostFolder = folder;
}

void addServerLibrary(const QString& fileName)
{
    Servers& s = servers();
    QMutexLocker locker(&s.mutex);
    if (!s.namedLibraries.contains(fileName))
        s.namedLibraries.append(fileName);
}

HResult CLSIDFromProgID(const QString& progId, QUuid* clsid)
{
    if (!clsid)
        return E_POINTER;
    ClassRegistry registry;
    if (registry.load()) {
        if (const auto registered = registry.classForProgId(progId)) {
            *clsid = *registered;
            return S_OK;
        }
    }
    for (const auto& server : hostFolderServers()) {
        if (!server->typeLib)
            continue;
        if (const CoClassInfo* coclass = server->typeLib->findCoClass(progId)) {
            *clsid = coclass->clsid;
            return S_OK;
        }
    }
    return CO_E_CLASSSTRING;
}

HResult CLSIDFromString(const QString& text, QUuid* clsid)
{
    if (!clsid)
        return E_POINTER;
    if (text.startsWith(u'{')) {
        *clsid = QUuid::fromString(text);
        return clsid->isNull() ? CO_E_CLASSSTRING : S_OK;
    }
    return CLSIDFromProgID(text, clsid);
}

HResult CoGetClassObject(const QUuid& clsid, const QUuid& iid, void** object)
{
    if (!object)
        return E_POINTER;
    *object = nullptr;
    const auto server = serverForClass(clsid);
    if (!server)
        return REGDB_E_CLASSNOTREG;
    return server->getClassObject(clsid, iid, object);
}

HResult CoCreateInstance(const QUuid& clsid, IUnknown* outer, const QUuid& iid, void** object)
{
    if (!object)
        return E_POINTER;
    *object = nullptr;
    IClassFactory* factory = nullptr;
    HResult hr = CoGetClassObject(clsid, IClassFactory::IID, reinterpret_cast<void**>(&factory));
    if (failed(hr))
        return hr;
    hr = factory->CreateInstance(outer, iid, object);
    factory->Release();
    return hr;
}

QByteArray libraryResource(const QString& libraryPath, const char* type, int id)
{
    QLibrary library(libraryPath);
    auto getResource = reinterpret_cast<DllGetResourceFunction>(library.resolve("DllGetResource"));
    const char* data = nullptr;
    int size = 0;
    if (!getResource || failed(getResource(type, id, &data, &size)))
        return {};
    return QByteArray(data, size); // copied: the library may be unloaded after this
}

std::optional<TypeLibInfo> libraryTypeLib(const QString& libraryPath)
{
    const QByteArray json = libraryResource(libraryPath, "TYPELIB", 1);
    return json.isEmpty() ? std::nullopt : TypeLibInfo::fromJson(json);
}

QString describeHResult(HResult hr)
{
    static const QHash<HResult, const char*> names{
        {S_OK, "S_OK"},
        {S_FALSE, "S_FALSE"},
        {E_NOTIMPL, "E_NOTIMPL"},
        {E_NOINTERFACE, "E_NOINTERFACE"},
        {E_POINTER, "E_POINTER"},
        {E_FAIL, "E_FAIL"},
        {E_INVALIDARG, "E_INVALIDARG"},
        {CLASS_E_NOAGGREGATION, "CLASS_E_NOAGGREGATION"},
        {CLASS_E_CLASSNOTAVAILABLE, "CLASS_E_CLASSNOTAVAILABLE"},
        {REGDB_E_CLASSNOTREG, "REGDB_E_CLASSNOTREG"},
        {SELFREG_E_CLASS, "SELFREG_E_CLASS"},
        {CO_E_CLASSSTRING, "CO_E_CLASSSTRING"},
        {DISP_E_MEMBERNOTFOUND, "DISP_E_MEMBERNOTFOUND"},
        {DISP_E_TYPEMISMATCH, "DISP_E_TYPEMISMATCH"},
        {DISP_E_UNKNOWNNAME, "DISP_E_UNKNOWNNAME"},
        {DISP_E_EXCEPTION, "DISP_E_EXCEPTION"},
        {DISP_E_OVERFLOW, "DISP_E_OVERFLOW"},
        {DISP_E_BADPARAMCOUNT, "DISP_E_BADPARAMCOUNT"},
        {RPC_E_WRONG_THREAD, "RPC_E_WRONG_THREAD"},
    };
    const QString hex = QStringLiteral("0x%1").arg(quint32(hr), 8, 16, QLatin1Char('0'));
    const char* name = names.value(hr);
    return name ? QStringLiteral("%1 (%2)").arg(QLatin1String(name), hex) : hex;
}

} // namespace platform::com
