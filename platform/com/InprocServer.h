#pragma once

// Support for a server library's four entry points: a table of the classes it serves, the
// counts that say whether it may be unloaded, class factories, and self-registration.

#include "com/Com.h"
#include "com/ComExport.h"
#include "com/TypeInfo.h"

#include <QList>
#include <QString>
#include <QUuid>
#include <atomic>
#include <functional>

namespace platform::com {

class PLATFORM_COM_EXPORT ServerModule
{
public:
    // Creates a new object of the class and hands out its interface iid.
    using Creator = std::function<HResult(const QUuid& iid, void** object)>;
    struct ClassEntry
    {
        QUuid clsid;
        Creator create;
    };

    // typeLib: the library's type description; anchor: any function of the library, which
    // tells the library's own file for registration.
    ServerModule(TypeLibInfo typeLib, QList<ClassEntry> classes, int toolboxBitmapId,
                 const void* anchor);

    const TypeLibInfo& typeLib() const { return m_typeLib; }

    // Every live object of the library holds the module; so does every factory and lock.
    void lock() { ++m_locks; }
    void unlock() { --m_locks; }
    long lockCount() const { return m_locks; }

    HResult getClassObject(const QUuid& clsid, const QUuid& iid, void** object);
    HResult canUnloadNow() const { return m_locks == 0 ? S_OK : S_FALSE; }
    HResult registerServer() const;
    HResult unregisterServer() const;

    // The file this library was loaded from.
    QString libraryPath() const;

private:
    TypeLibInfo m_typeLib;
    QList<ClassEntry> m_classes;
    int m_toolboxBitmapId;
    const void* m_anchor;
    std::atomic<long> m_locks{0};
};

// Holds the module locked for its lifetime.
class ModuleLock
{
public:
    explicit ModuleLock(ServerModule& module) : m_module(module) { m_module.lock(); }
    ~ModuleLock() { m_module.unlock(); }
    ModuleLock(const ModuleLock&) = delete;
    ModuleLock& operator=(const ModuleLock&) = delete;

private:
    ServerModule& m_module;
};

} // namespace platform::com
