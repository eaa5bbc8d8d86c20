#pragma once

// The presentation component's members by dispatch identifier, for hosts that drive it
// late-bound. Lives inside its component; its references are not counted.

#include "com/Com.h"
#include "com/TypeInfo.h"

namespace platform::movie {

class MoviePlayer;

namespace dispid {
inline constexpr com::DispId Movie = 102;
inline constexpr com::DispId FrameNum = 107;
inline constexpr com::DispId Play = 112;
inline constexpr com::DispId StopPlay = 126;
inline constexpr com::DispId GotoFrame = 127;
} // namespace dispid

class MovieDispatch final : public com::IDispatch
{
public:
    explicit MovieDispatch(MoviePlayer& player) : m_player(player) {}

    com::HResult QueryInterface(const QUuid& iid, void** object) override;
    uint32_t AddRef() override { return 1; }
    uint32_t Release() override { return 1; }
    com::HResult GetTypeInfo(const com::TypeInfo** info) override;
    com::HResult GetIDsOfNames(const QString& name, com::DispId* id) override;
    com::HResult Invoke(com::DispId id, uint16_t flags, QVariantList& args, QVariant* result,
                        com::ExcepInfo* excepInfo) override;

private:
    MoviePlayer& m_player;
};

} // namespace platform::movie
