#include "movie/MovieDispatch.h"

#include "movie/MoviePlayer.h"

namespace platform::movie {

using namespace com;

namespace {

const TypeInfo& movieInterface()
{
    constexpr uint16_t method = DISPATCH_METHOD;
    static const TypeInfo info{
        QStringLiteral("_MoviePlayer"),
        QUuid(0x6c0b5a71, 0x3f0e, 0x4d8e, 0x9a, 0x52, 0x2b, 0x0f, 0x4e, 0x71, 0xa4, 0x19),
        {QStringLiteral("dual")},
        {
            {QStringLiteral("Movie"),
             dispid::Movie,
             false,
             DISPATCH_PROPERTYGET | DISPATCH_PROPERTYPUT,
             QStringLiteral("BSTR"),
             {},
             QStringLiteral("The movie file, by full path.")},
            {QStringLiteral("FrameNum"),
             dispid::FrameNum,
             false,
             DISPATCH_PROPERTYGET,
             QStringLiteral("long"),
             {},
             QStringLiteral("The frame on show, from 0.")},
            {QStringLiteral("Play"),
             dispid::Play,
             true,
             method,
             {},
             {},
             QStringLiteral("Plays from the frame on show.")},
            {QStringLiteral("StopPlay"),
             dispid::StopPlay,
             true,
             method,
             {},
             {},
             QStringLiteral("Stops playing.")},
            {QStringLiteral("GotoFrame"),
             dispid::GotoFrame,
             true,
             method,
             {},
             {{QStringLiteral("FrameNum"), QStringLiteral("long"), false}},
             QStringLiteral("Goes to a frame.")},
        }};
    return info;
}

} // namespace

HResult MovieDispatch::QueryInterface(const QUuid& iid, void** object)
{
    if (!object)
        return E_POINTER;
    if (iid == IUnknown::IID || iid == IDispatch::IID || iid == movieInterface().iid) {
        *object = static_cast<IDispatch*>(this);
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

HResult MovieDispatch::GetTypeInfo(const TypeInfo** info)
{
    if (!info)
        return E_POINTER;
    *info = &movieInterface();
    return S_OK;
}

HResult MovieDispatch::GetIDsOfNames(const QString& name, DispId* id)
{
    if (!id)
        return E_POINTER;
    const MemberInfo* member = movieInterface().findMember(name);
    *id = member ? member->id : DISPID_UNKNOWN;
    return member ? S_OK : DISP_E_UNKNOWNNAME;
}

HResult MovieDispatch::Invoke(DispId id, uint16_t flags, QVariantList& args, QVariant* result,
                              ExcepInfo*)
{
    const bool get = flags & DISPATCH_PROPERTYGET;
    const bool put = flags & DISPATCH_PROPERTYPUT;
    const bool call = flags & DISPATCH_METHOD;
    QVariant value;
    switch (id) {
    case dispid::Movie:
        if (put && args.size() == 1)
            m_player.setMovie(args[0].toString());
        else if (get && args.isEmpty())
            value = m_player.Movie();
        else
            return DISP_E_BADPARAMCOUNT;
        break;
    case dispid::FrameNum:
        if (!get)
            return DISP_E_MEMBERNOTFOUND;
        value = m_player.FrameNum();
        break;
    case dispid::Play:
    case dispid::StopPlay:
        if (!call)
            return DISP_E_MEMBERNOTFOUND;
        id == dispid::Play ? m_player.Play() : m_player.StopPlay();
        break;
    case dispid::GotoFrame: {
        if (!call)
            return DISP_E_MEMBERNOTFOUND;
        if (args.size() != 1)
            return DISP_E_BADPARAMCOUNT;
        bool ok = false;
        const int frame = args[0].toInt(&ok);
        if (!ok)
            return DISP_E_TYPEMISMATCH;
        m_player.GotoFrame(frame);
        break;
    }
    default:
        return DISP_E_MEMBERNOTFOUND;
    }
    if (result)
        *result = value;
    return S_OK;
}

} // namespace platform::movie
