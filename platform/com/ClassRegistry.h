#pragma once

// The per-user class registry: which library serves which class, by class id and by ProgID.
// A text file of sections and "key=value" lines, laid out like the registry keys a Windows
// in-process server writes:
//
//   [CLSID\{...}]           ProgID, InprocServer32, ThreadingModel, Control, ToolboxBitmap32,
//                           TypeLib, Version
//   [STROVEL.CtlStrovel]    CLSID
//   [TypeLib\{...}\2.0]     Name, HelpString, Flags, Path
//
// It lives at $XDG_CONFIG_HOME/lumaret/classes.ini and is replaced atomically on every save.

#include "com/ComExport.h"
#include "com/TypeInfo.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QUuid>
#include <optional>
#include <utility>

namespace platform::com {

class PLATFORM_COM_EXPORT ClassRegistry
{
public:
    static QString defaultPath();

    explicit ClassRegistry(QString path = defaultPath());

    // Reads the file; a missing file is an empty registry. False when it can not be read.
    bool load();
    // Writes the file atomically, creating its folder. False when it can not be written.
    bool save() const;

    QString value(const QString& section, const QString& key) const;
    void setValue(const QString& section, const QString& key, const QString& value);
    void removeSection(const QString& section);
    QStringList sections() const;
    const QString& path() const { return m_path; }

    // What a server library registers for its type library and each class in it.
    void registerServer(const TypeLibInfo& lib, const QString& libraryPath, int toolboxBitmapId);
    void unregisterServer(const TypeLibInfo& lib);

    std::optional<QUuid> classForProgId(const QString& progId) const;
    QString serverForClass(const QUuid& clsid) const;

    static QString classSection(const QUuid& clsid);
    static QString typeLibSection(const TypeLibInfo& lib);

private:
    struct Section
    {
        QString name;
        QList<std::pair<QString, QString>> entries;
    };
    Section* find(const QString& section);
    const Section* find(const QString& section) const;

    QString m_path;
    QList<Section> m_sections;
};

} // namespace platform::com
