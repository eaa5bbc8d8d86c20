#include "com/InprocServer.h"

#include "com/ClassRegistry.h"

#include <QFileInfo>
#include <QLoggingCategory>
#include <dlfcn.h>

Q_LOGGING_CATEGORY(lcServer, "lumaret.com.server")

namespace platform::com {

namespace {

// A class factory; its existence and every LockServer(true) keep the module locked.
class ClassFactory final : public IClassFactory
{
public:
    ClassFactory(ServerModule& module, ServerModule::Creator create)
        : m_lock(module), m_module(module), m_create(std::move(create))
    {
    }

    HResult QueryInterface(const QUuid& iid, void** object) override
    {
        if (!object)
            return E_POINTER;
        if (iid == IUnknown::IID || iid == IClassFactory::IID) {
            *object = static_cast<IClassFactory*>(this);
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    uint32_t AddRef() override { return ++m_refs; }
    uint32_t Release() override
    {
        const uint32_t left = --m_refs;
        if (left == 0)
            delete this;
        return left;
    }

    HResult CreateInstance(IUnknown* outer, const QUuid& iid, void** object) override
    {
        if (!object)
            return E_POINTER;
        *object = nullptr;
        if (outer)
            return CLASS_E_NOAGGREGATION;
        return m_create(iid, object);
    }
    HResult LockServer(bool lock) override
    {
        lock ? m_module.lock() : m_module.unlock();
        return S_OK;
    }

private:
    ModuleLock m_lock;
    ServerModule& m_module;
    ServerModule::Creator m_create;
    std::atomic<uint32_t> m_refs{1};
};

} // namespace

ServerModule::ServerModule(TypeLibInfo typeLib, QList<ClassEntry> classes, int toolboxBitmapId,
                           const void* anchor)
    : m_typeLib(std::move(typeLib)), m_classes(std::move(classes)),
      m_toolboxBitmapId(toolboxBitmapId), m_anchor(anchor)
{
}

HResult ServerModule::getClassObject(const QUuid& clsid, const QUuid& iid, void** object)
{
    if (!object)
        return E_POINTER;
    *object = nullptr;
    for (const ClassEntry& entry : m_classes) {
        if (entry.clsid != clsid)
            continue;
        auto* factory = new ClassFactory(*this, entry.create);
        const HResult hr = factory->QueryInterface(iid, object);
        factory->Release();
        return hr;
    }
    return CLASS_E_CLASSNOTAVAILABLE;
}

QString ServerModule::libraryPath() const
{
    Dl_info info{};
    if (dladdr(m_anchor, &info) == 0 || !info.dli_fname)
        return {};
    return QFileInfo(QString::fromLocal8Bit(info.dli_fname)).absoluteFilePath();
}

HResult ServerModule::registerServer() const
{
    const QString path = libraryPath();
    ClassRegistry registry;
    if (path.isEmpty() || !registry.load())
        return SELFREG_E_CLASS;
    registry.registerServer(m_typeLib, path, m_toolboxBitmapId);
    if (!registry.save()) {
        qCWarning(lcServer) << "could not write the class registry" << registry.path();
        return SELFREG_E_CLASS;
    }
    return S_OK;
}

HResult ServerModule::unregisterServer() const
{
    ClassRegistry registry;
    if (!registry.load())
        return SELFREG_E_CLASS;
    registry.unregisterServer(m_typeLib);
    return registry.save() ? S_OK : SELFREG_E_CLASS;
}

} // namespace platform::com
