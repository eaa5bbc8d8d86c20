#pragma once

// Type descriptions: what a server library says about its classes, interfaces, members and
// enumerations. A library carries its type library as JSON in its "TYPELIB" 1 resource; hosts
// read it without creating an object.

#include "com/Com.h"
#include "com/ComExport.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <QUuid>
#include <optional>
#include <utility>

namespace platform::com {

struct ParamInfo
{
    QString name;
    QString type;
    bool byRef = false;
};

struct MemberInfo
{
    QString name;
    DispId id = DISPID_UNKNOWN;
    bool isMethod = false;
    uint16_t invokeKinds = 0; // the DISPATCH_* kinds the member accepts
    QString type;             // of the property, or of the method's result ("" for none)
    QList<ParamInfo> params;
    QString helpString;
};

struct PLATFORM_COM_EXPORT TypeInfo
{
    QString name;
    QUuid iid;
    QStringList flags; // "dual", "dispatchonly", "hidden", "nonextensible", ...
    QList<MemberInfo> members;

    const MemberInfo* findMember(DispId id) const;
    // Names match without regard to case.
    const MemberInfo* findMember(const QString& name) const;
};

struct EnumInfo
{
    QString name;
    QUuid guid;
    QList<std::pair<QString, int32_t>> values;
};

struct CoClassInfo
{
    QString name;
    QUuid clsid;
    QString progId;
    QStringList flags; // "control", ...
    QString defaultInterface;
    QString defaultSource;
};

struct PLATFORM_COM_EXPORT TypeLibInfo
{
    QString name;
    QUuid libid;
    int majorVersion = 0;
    int minorVersion = 0;
    QString helpString;
    QStringList flags; // "control": the library holds controls
    QList<CoClassInfo> coclasses;
    QList<TypeInfo> interfaces;
    QList<EnumInfo> enums;

    const TypeInfo* findInterface(const QString& name) const;
    const CoClassInfo* findCoClass(const QUuid& clsid) const;
    // ProgIDs match without regard to case.
    const CoClassInfo* findCoClass(const QString& progId) const;

    QByteArray toJson() const;
    static std::optional<TypeLibInfo> fromJson(const QByteArray& json);
};

} // namespace platform::com
