#pragma once

// The identity of the Strovel control library: what a host creates the telop by and binds to.
// Hosts and the library carry the same values, so they stand in this one header only.

#include <QUuid>
#include <cstdint>

namespace strovel {

// Type library STROVEL 2.0.
inline constexpr QUuid LIBID_STROVEL{0x5441879c, 0x332d, 0x4016, 0x9d, 0xe1, 0x3c,
                                     0xc7,       0xb2,   0x29,   0x48, 0x80};
// The control class CtlStrovel.
inline constexpr QUuid CLSID_CtlStrovel{0x0e40dbaf, 0x14bf, 0x486a, 0x94, 0x4a, 0xf1,
                                        0x76,       0x17,   0xe5,   0x07, 0xb3};
// Its default interface _CtlStrovel (properties and methods).
inline constexpr QUuid IID__CtlStrovel{0xbe92b5c2, 0x5e3a, 0x4591, 0x9c, 0xbc, 0x92,
                                       0xed,       0xef,   0x6f,   0x4b, 0x24};
// Its default event interface __CtlStrovel (Click, DblClick).
inline constexpr QUuid DIID___CtlStrovel{0x3678cfab, 0x6845, 0x4eef, 0x80, 0x84, 0x1a,
                                         0xb8,       0xdc,   0x64,   0x67, 0x2d};
// The enumeration EnAction.
inline constexpr QUuid GUID_EnAction{0xddf809fc, 0x9dca, 0x4e27, 0xb6, 0x39, 0xa4,
                                     0x10,       0xcb,   0x6e,   0xd6, 0xfa};

inline constexpr const char ProgId[] = "STROVEL.CtlStrovel";

// Dispatch identifiers of the members, fixed: hosts bind late by these numbers.
namespace dispid {
inline constexpr int32_t MoveCount = 0x68030000;
inline constexpr int32_t BackBmp = 0x68030001;
inline constexpr int32_t FrontBmp = 0x68030002;
inline constexpr int32_t Interval = 0x68030003;
inline constexpr int32_t hDC = 0x68030004;
inline constexpr int32_t hWnd = 0x68030005;
inline constexpr int32_t Text = 0x68030006;
inline constexpr int32_t Cls = 0x60030013;
inline constexpr int32_t Action = 0x60030014;
inline constexpr int32_t Font = -512;
inline constexpr int32_t ShowAboutBox = -552;
// Events.
inline constexpr int32_t Click = 1;
inline constexpr int32_t DblClick = 2;
} // namespace dispid

} // namespace strovel
