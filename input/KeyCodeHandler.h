#pragma once
// What a delivered key code does: modifier codes change the Shift/Ctrl flags of the mouse packet,
// Esc lights the Esc button while held, F1 marks the help key as used, everything else is one byte.
#include <cstdint>
#include <functional>

#include "common/MouseState.h"
#include "common/PortSender.h"
#include "common/Win32Codes.h"
#include "input/KeyTranslator.h"

namespace tarvik {

// Acts on `state` (m_shift, m_ctrl, m_esc) and `helpKey`; sends through `ports`, or calls
// `sendMousePacket` for modifier changes. The caller refreshes its controls afterwards.
void handleKeyCode(uint32_t code, uint32_t action, MouseState& state, int32_t& helpKey, PortSender& ports,
                   const std::function<void()>& sendMousePacket);

// The window lost the keyboard: Shift and Ctrl held on the PC keyboard would stay set in every
// packet until pressed again, so they are cleared now, with one packet for both. A state the
// keyboard does not hold (an on-screen toggle, the instrument's own modifiers) stays as it is.
void releaseHeldModifiers(KeyTranslator& translator, MouseState& state, const std::function<void()>& sendMousePacket);

}  // namespace tarvik
