#pragma once
// The 26 script methods of window.external, in the order that gives them their identifiers.
#include "framework/DispatchMap.h"

class CHtmlCtrl;

[[nodiscard]] const framework::DispatchTable<CHtmlCtrl, 26>& GetBridgeTable() noexcept;
