#include "com/TypeInfo.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace platform::com {

const MemberInfo* TypeInfo::findMember(DispId id) const
{
    for (const MemberInfo& member : members)
        if (member.id == id)
            return &member;
    return nullptr;
}

const MemberInfo* TypeInfo::findMember(const QString& memberName) const
{
    for (const MemberInfo& member : members)
        if (member.name.compare(memberName, Qt::CaseInsensitive) == 0)
            return &member;
    return nullptr;
}

const TypeInfo* TypeLibInfo::findInterface(const QString& interfaceName) const
{
    for (const TypeInfo& info : interfaces)
        if (info.name == interfaceName)
            return &info;
    return nullptr;
}

const CoClassInfo* TypeLibInfo::findCoClass(const QUuid& clsid) const
{
    for (const CoClassInfo& coclass : coclasses)
        if (coclass.clsid == clsid)
            return &coclass;
    return nullptr;
}

const CoClassInfo* TypeLibInfo::findCoClass(const QString& progId) const
{
    for (const CoClassInfo& coclass : coclasses)
        if (coclass.progId.compare(progId, Qt::CaseInsensitive) == 0)
            return &coclass;
    return nullptr;
}

namespace {

QString guidText(const QUuid& id)
{
    return id.toString(QUuid::WithBraces).toUpper();
}

QJsonArray invokeKindNames(uint16_t kinds)
{
    QJsonArray names;
    if (kinds & DISPATCH_METHOD)
        names.append(QStringLiteral("method"));
    if (kinds & DISPATCH_PROPERTYGET)
        names.append(QStringLiteral("get"));
    if (kinds & DISPATCH_PROPERTYPUT)
        names.append(QStringLiteral("put"));
    if (kinds & DISPATCH_PROPERTYPUTREF)
        names.append(QStringLiteral("putref"));
    return names;
}

uint16_t invokeKindsFrom(const QJsonArray& names)
{
    uint16_t kinds = 0;
    for (const QJsonValue& name : names) {
        const QString n = name.toString();
        kinds |= n == QLatin1String("method")   ? DISPATCH_METHOD
                 : n == QLatin1String("get")    ? DISPATCH_PROPERTYGET
                 : n == QLatin1String("put")    ? DISPATCH_PROPERTYPUT
                 : n == QLatin1String("putref") ? DISPATCH_PROPERTYPUTREF
                                                : 0;
    }
    return kinds;
}

QJsonObject memberJson(const MemberInfo& m)
{
    QJsonArray params;
    for (const ParamInfo& p : m.params)
        params.append(QJsonObject{{"name", p.name}, {"type", p.type}, {"byRef", p.byRef}});
    return {{"name", m.name},
            {"dispid", m.id},
            {"kind", m.isMethod ? "method" : "property"},
            {"invoke", invokeKindNames(m.invokeKinds)},
            {"type", m.type},
            {"params", params},
            {"helpString", m.helpString}};
}

MemberInfo memberFrom(const QJsonObject& o)
{
    MemberInfo m;
    m.name = o["name"].toString();
    m.id = o["dispid"].toInt();
    m.isMethod = o["kind"].toString() == QLatin1String("method");
    m.invokeKinds = invokeKindsFrom(o["invoke"].toArray());
    m.type = o["type"].toString();
    for (const QJsonValue& p : o["params"].toArray()) {
        const QJsonObject param = p.toObject();
        m.params.append(
            {param["name"].toString(), param["type"].toString(), param["byRef"].toBool()});
    }
    m.helpString = o["helpString"].toString();
    return m;
}

QStringList stringsFrom(const QJsonValue& value)
{
    QStringList result;
    for (const QJsonValue& v : value.toArray())
        result.append(v.toString());
    return result;
}

} // namespace

QByteArray TypeLibInfo::toJson() const
{
    QJsonArray coclassArray;
    for (const CoClassInfo& c : coclasses)
        coclassArray.append(QJsonObject{{"name", c.name},
                                        {"clsid", guidText(c.clsid)},
                                        {"progId", c.progId},
                                        {"flags", QJsonArray::fromStringList(c.flags)},
                                        {"defaultInterface", c.defaultInterface},
                                        {"defaultSource", c.defaultSource}});
    QJsonArray interfaceArray;
    for (const TypeInfo& t : interfaces) {
        QJsonArray members;
        for (const MemberInfo& m : t.members)
            members.append(memberJson(m));
        interfaceArray.append(QJsonObject{{"name", t.name},
                                          {"iid", guidText(t.iid)},
                                          {"flags", QJsonArray::fromStringList(t.flags)},
                                          {"members", members}});
    }
    QJsonArray enumArray;
    for (const EnumInfo& e : enums) {
        QJsonArray values;
        for (const auto& [valueName, value] : e.values)
            values.append(QJsonObject{{"name", valueName}, {"value", value}});
        enumArray.append(
            QJsonObject{{"name", e.name}, {"guid", guidText(e.guid)}, {"values", values}});
    }
    const QJsonObject root{{"name", name},
                           {"libid", guidText(libid)},
                           {"version", QStringLiteral("%1.%2").arg(majorVersion).arg(minorVersion)},
                           {"helpString", helpString},
                           {"flags", QJsonArray::fromStringList(flags)},
                           {"coclasses", coclassArray},
                           {"interfaces", interfaceArray},
                           {"enums", enumArray}};
    return QJsonDocument(root).toJson(QJsonDocument::Indented);
}

std::optional<TypeLibInfo> TypeLibInfo::fromJson(const QByteArray& json)
{
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(json, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return std::nullopt;
    const QJsonObject root = document.object();
    TypeLibInfo lib;
    lib.name = root["name"].toString();
    lib.libid = QUuid::fromString(root["libid"].toString());
    const QStringList version = root["version"].toString().split(u'.');
    lib.majorVersion = version.value(0).toInt();
    lib.minorVersion = version.value(1).toInt();
    lib.helpString = root["helpString"].toString();
    lib.flags = stringsFrom(root["flags"]);
    for (const QJsonValue& v : root["coclasses"].toArray()) {
        const QJsonObject c = v.toObject();
        lib.coclasses.append({c["name"].toString(), QUuid::fromString(c["clsid"].toString()),
                              c["progId"].toString(), stringsFrom(c["flags"]),
                              c["defaultInterface"].toString(), c["defaultSource"].toString()});
    }
    for (const QJsonValue& v : root["interfaces"].toArray()) {
        const QJsonObject t = v.toObject();
        TypeInfo info{t["name"].toString(),
                      QUuid::fromString(t["iid"].toString()),
                      stringsFrom(t["flags"]),
                      {}};
        for (const QJsonValue& m : t["members"].toArray())
            info.members.append(memberFrom(m.toObject()));
        lib.interfaces.append(info);
    }
    for (const QJsonValue& v : root["enums"].toArray()) {
        const QJsonObject e = v.toObject();
        EnumInfo info{e["name"].toString(), QUuid::fromString(e["guid"].toString()), {}};
        for (const QJsonValue& value : e["values"].toArray())
            info.values.append({value["name"].toString(), value["value"].toInt()});
        lib.enums.append(info);
    }
    return lib;
}

} // namespace platform::com
