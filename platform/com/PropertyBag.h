#pragma once

#include "com/ComExport.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <utility>

namespace platform {

// Named values a control saves and loads its persisted properties through. Names are matched
// without regard to case and keep the order in which they were first written.
class PLATFORM_COM_EXPORT PropertyBag
{
public:
    // The stored value, or defaultValue when the name is not in the bag.
    QVariant ReadProperty(const QString& name, const QVariant& defaultValue = {}) const;

    // Stores the value; a value equal to defaultValue is not stored (and an older entry of the
    // same name is removed), so the bag holds only what differs from the defaults.
    void WriteProperty(const QString& name, const QVariant& value,
                       const QVariant& defaultValue = {});

    bool contains(const QString& name) const { return indexOf(name) >= 0; }
    QStringList names() const;
    int size() const { return int(m_entries.size()); }
    void clear() { m_entries.clear(); }

private:
    qsizetype indexOf(const QString& name) const;

    QList<std::pair<QString, QVariant>> m_entries;
};

} // namespace platform
