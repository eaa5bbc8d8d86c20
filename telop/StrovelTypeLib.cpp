#include "StrovelTypeLib.h"

#include "StrovelIds.h"

#include <QJsonDocument>
#include <QJsonObject>

using namespace platform::com;

namespace strovel {

namespace {

MemberInfo property(const char* name, DispId id, uint16_t kinds, const char* type,
                    const QString& help)
{
    return {QString::fromLatin1(name), id, false, kinds, QString::fromLatin1(type), {}, help};
}

MemberInfo method(const char* name, DispId id, const char* resultType, QList<ParamInfo> params,
                  const QString& help)
{
    return {QString::fromLatin1(name), id,  true, DISPATCH_METHOD, QString::fromLatin1(resultType),
            std::move(params),         help};
}

TypeLibInfo buildTypeLibrary()
{
    constexpr uint16_t readWrite = DISPATCH_PROPERTYGET | DISPATCH_PROPERTYPUT;
    constexpr uint16_t readSetRef = DISPATCH_PROPERTYGET | DISPATCH_PROPERTYPUTREF;
    const QString pictureHelp =
        QStringLiteral("ｺﾝﾄﾛｰﾙ内に表示されるｸﾞﾗﾌｨｯｸｽを設定します。値の取得も可能です。");

    TypeInfo control{
        QStringLiteral("_CtlStrovel"),
        IID__CtlStrovel,
        {QStringLiteral("dual"), QStringLiteral("hidden"), QStringLiteral("nonextensible")},
        {
            property("Text", dispid::Text, readWrite, "VARIANT",
                     QStringLiteral("表示する文字列を設定します。")),
            method("Cls", dispid::Cls, "", {}, QStringLiteral("文字列を表示しません。")),
            method("Action", dispid::Action, "short",
                   {{QStringLiteral("mode"), QStringLiteral("EnAction"), true}},
                   QStringLiteral("動作を実行します。 0:STOP 1:LtoR 2:RtoL 3:Reverse")),
            method("ShowAboutBox", dispid::ShowAboutBox, "", {}, QStringLiteral("ﾊﾞｰｼﾞｮﾝ情報")),
            property("hWnd", dispid::hWnd, DISPATCH_PROPERTYGET, "long",
                     QStringLiteral("ｵﾌﾞｼﾞｪｸﾄのｳｨﾝﾄﾞｳを識別するﾊﾝﾄﾞﾙを (Microsoft Windows から) "
                                    "返します。")),
            property("hDC", dispid::hDC, DISPATCH_PROPERTYGET, "long",
                     QStringLiteral("Microsoft Windows で使われている、ｵﾌﾞｼﾞｪｸﾄのﾃﾞﾊﾞｲｽ ｺﾝﾃｷｽﾄの"
                                    "ﾊﾝﾄﾞﾙを返します。")),
            property("Font", dispid::Font, readSetRef, "Font",
                     QStringLiteral("Font ｵﾌﾞｼﾞｪｸﾄを返します。")),
            property("Interval", dispid::Interval, readWrite, "long",
                     QStringLiteral("動作の速度を設定します。")),
            property("FrontBmp", dispid::FrontBmp, readSetRef, "Picture", pictureHelp),
            property("BackBmp", dispid::BackBmp, readSetRef, "Picture", pictureHelp),
            property("MoveCount", dispid::MoveCount, readWrite, "short",
                     QStringLiteral("移動の間隔をﾋﾟｸｾﾙ単位で設定します。")),
        }};
    TypeInfo events{
        QStringLiteral("__CtlStrovel"),
        DIID___CtlStrovel,
        {QStringLiteral("dispatchonly"), QStringLiteral("hidden")},
        {
            method("Click", dispid::Click, "", {},
                   QStringLiteral("ﾕｰｻﾞｰがｵﾌﾞｼﾞｪｸﾄ上でﾏｳｽ ﾎﾞﾀﾝをｸﾘｯｸしたときに発生します。")),
            method("DblClick", dispid::DblClick, "", {},
                   QStringLiteral("ﾕｰｻﾞｰがｵﾌﾞｼﾞｪｸﾄ上でﾏｳｽ ﾎﾞﾀﾝを押して離す操作を 2 回続けて"
                                  "行ったとき (ﾀﾞﾌﾞﾙｸﾘｯｸしたとき) に発生します。")),
        }};
    EnumInfo action{QStringLiteral("EnAction"),
                    GUID_EnAction,
                    {{QStringLiteral("Stpped"), 0},
                     {QStringLiteral("LtoR"), 1},
                     {QStringLiteral("RtoL"), 2},
                     {QStringLiteral("Reverse"), 3}}};
    CoClassInfo coclass{QStringLiteral("CtlStrovel"),  CLSID_CtlStrovel,
                        QString::fromLatin1(ProgId),   {QStringLiteral("control")},
                        QStringLiteral("_CtlStrovel"), QStringLiteral("__CtlStrovel")};

    TypeLibInfo lib;
    lib.name = QStringLiteral("STROVEL");
    lib.libid = LIBID_STROVEL;
    lib.majorVersion = 2;
    lib.minorVersion = 0;
    lib.helpString = QStringLiteral("ﾃﾞｼﾞﾀﾙ掲示板 ｺﾝﾄﾛｰﾙ");
    lib.flags = {QStringLiteral("control")};
    lib.coclasses = {coclass};
    lib.interfaces = {control, events};
    lib.enums = {action};
    return lib;
}

} // namespace

const TypeLibInfo& typeLibrary()
{
    static const TypeLibInfo lib = buildTypeLibrary();
    return lib;
}

QByteArray versionBlock()
{
    const QJsonObject strings{
        {"FileDescription", QStringLiteral("ﾃﾞｼﾞﾀﾙ掲示板 ｺﾝﾄﾛｰﾙ")},
        {"LegalTrademarks", QStringLiteral("CtlStrovel ActiveX Ctl")},
        {"LegalCopyright", RightsNotice},
        {"FileVersion", QStringLiteral("0.00.0007")},
        {"ProductVersion", QStringLiteral("0.00.0007")},
        {"InternalName", QStringLiteral("strovel")},
        {"OriginalFilename", QStringLiteral("strovel.ocx")},
        {"OLESelfRegister", QString()},
    };
    const QJsonObject block{{"language", QStringLiteral("0x0411")},
                            {"codePage", 1200},
                            {"fileVersion", QStringLiteral("0.0.0.7")},
                            {"productVersion", QStringLiteral("0.0.0.7")},
                            {"strings", strings}};
    return QJsonDocument(block).toJson(QJsonDocument::Indented);
}

} // namespace strovel
