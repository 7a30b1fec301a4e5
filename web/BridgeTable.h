#pragma once
// The 26 script methods of window.external, in the order that gives them their identifiers.
#include "framework/DispatchMap.h"

class CHtmlCtrl;

inline constexpr size_t kBridgeMethodCount = 26;

[[nodiscard]] const framework::DispatchTable<CHtmlCtrl, kBridgeMethodCount>&
GetBridgeTable() noexcept;
