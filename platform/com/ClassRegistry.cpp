#include "com/ClassRegistry.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>
#include <QTextStream>

namespace platform::com {

QString ClassRegistry::defaultPath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/lumaret/classes.ini");
}

ClassRegistry::ClassRegistry(QString path) : m_path(std::move(path)) {}

bool ClassRegistry::load()
{
    m_sections.clear();
    QFile file(m_path);
    if (!file.exists())
        return true;
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return false;
    QTextStream in(&file);
    in.setEncoding(QStringConverter::Utf8);
    Section* current = nullptr;
    while (!in.atEnd()) {
        const QString line = in.readLine().trimmed();
        if (line.isEmpty() || line.startsWith(u';'))
            continue;
        if (line.startsWith(u'[') && line.endsWith(u']')) {
            m_sections.append({line.mid(1, line.size() - 2), {}});
            current = &m_sections.last();
        } else if (const qsizetype eq = line.indexOf(u'='); current && eq > 0) {
            current->entries.append({line.left(eq).trimmed(), line.mid(eq + 1).trimmed()});
        }
    }
    return true;
}

bool ClassRegistry::save() const
{
    QDir().mkpath(QFileInfo(m_path).absolutePath());
    QSaveFile file(m_path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Text))
        return false;
    QTextStream out(&file);
    out.setEncoding(QStringConverter::Utf8);
    out << "; Per-user class registry: which library serves which control class.\n";
    for (const Section& section : m_sections) {
        out << '\n' << '[' << section.name << "]\n";
        for (const auto& [key, value] : section.entries)
            out << key << '=' << value << '\n';
    }
    out.flush();
    return file.commit();
}

ClassRegistry::Section* ClassRegistry::find(const QString& section)
{
    for (Section& s : m_sections)
        if (s.name.compare(section, Qt::CaseInsensitive) == 0)
            return &s;
    return nullptr;
}

const ClassRegistry::Section* ClassRegistry::find(const QString& section) const
{
    return const_cast<ClassRegistry*>(this)->find(section);
}

QString ClassRegistry::value(const QString& section, const QString& key) const
{
    if (const Section* s = find(section))
        for (const auto& [k, v] : s->entries)
            if (k.compare(key, Qt::CaseInsensitive) == 0)
                return v;
    return {};
}

void ClassRegistry::setValue(const QString& section, const QString& key, const QString& value)
{
    Section* s = find(section);
    if (!s) {
        m_sections.append({section, {}});
        s = &m_sections.last();
    }
    for (auto& [k, v] : s->entries) {
        if (k.compare(key, Qt::CaseInsensitive) == 0) {
            v = value;
            return;
        }
    }
    s->entries.append({key, value});
}

void ClassRegistry::removeSection(const QString& section)
{
    m_sections.removeIf(
        [&](const Section& s) { return s.name.compare(section, Qt::CaseInsensitive) == 0; });
}

QStringList ClassRegistry::sections() const
{
    QStringList names;
    for (const Section& s : m_sections)
        names.append(s.name);
    return names;
}

namespace {
QString guidText(const QUuid& id)
{
    return id.toString(QUuid::WithBraces).toUpper();
}
} // namespace

QString ClassRegistry::classSection(const QUuid& clsid)
{
    return QStringLiteral("CLSID\\") + guidText(clsid);
}

QString ClassRegistry::typeLibSection(const TypeLibInfo& lib)
{
    return QStringLiteral("TypeLib\\%1\\%2.%3")
        .arg(guidText(lib.libid))
        .arg(lib.majorVersion)
        .arg(lib.minorVersion);
}

void ClassRegistry::registerServer(const TypeLibInfo& lib, const QString& libraryPath,
                                   int toolboxBitmapId)
{
    const QString version = QStringLiteral("%1.%2").arg(lib.majorVersion).arg(lib.minorVersion);
    const QString typeLib = typeLibSection(lib);
    removeSection(typeLib);
    setValue(typeLib, QStringLiteral("Name"), lib.name);
    setValue(typeLib, QStringLiteral("HelpString"), lib.helpString);
    setValue(typeLib, QStringLiteral("Flags"), lib.flags.join(u','));
    setValue(typeLib, QStringLiteral("Path"), libraryPath);

    for (const CoClassInfo& coclass : lib.coclasses) {
        const QString section = classSection(coclass.clsid);
        removeSection(section);
        setValue(section, QStringLiteral("Name"), coclass.name);
        setValue(section, QStringLiteral("ProgID"), coclass.progId);
        setValue(section, QStringLiteral("InprocServer32"), libraryPath);
        setValue(section, QStringLiteral("ThreadingModel"), QStringLiteral("Apartment"));
        if (coclass.flags.contains(QStringLiteral("control"))) {
            setValue(section, QStringLiteral("Control"), QString());
            setValue(section, QStringLiteral("ToolboxBitmap32"),
                     QStringLiteral("%1, %2").arg(libraryPath).arg(toolboxBitmapId));
        }
        setValue(section, QStringLiteral("TypeLib"), guidText(lib.libid));
        setValue(section, QStringLiteral("Version"), version);
        if (!coclass.progId.isEmpty()) {
            removeSection(coclass.progId);
            setValue(coclass.progId, QStringLiteral("CLSID"), guidText(coclass.clsid));
        }
    }
}

void ClassRegistry::unregisterServer(const TypeLibInfo& lib)
{
    for (const CoClassInfo& coclass : lib.coclasses) {
        removeSection(classSection(coclass.clsid));
        if (!coclass.progId.isEmpty())
            removeSection(coclass.progId);
    }
    removeSection(typeLibSection(lib));
}

std::optional<QUuid> ClassRegistry::classForProgId(const QString& progId) const
{
    const QUuid clsid = QUuid::fromString(value(progId, QStringLiteral("CLSID")));
    if (clsid.isNull())
        return std::nullopt;
    return clsid;
}

QString ClassRegistry::serverForClass(const QUuid& clsid) const
{
    return value(classSection(clsid), QStringLiteral("InprocServer32"));
}

} // namespace platform::com
