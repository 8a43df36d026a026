#pragma once
// "Tarvik Properties": the macros, the window preferences, the instrument mouse and the two serial
// ports, on four pages in that order.
#include "ui/PropertySheet.h"
#include "ui/TarvikPPComms.h"
#include "ui/TarvikPPMacros.h"
#include "ui/TarvikPPMouse.h"
#include "ui/TarvikPPPrefs.h"

namespace tarvik {

class TarvikPropertySheet : public PropertySheet {
public:
    TarvikPropertySheet(comm::PortBindings& bindings, MessageBox& messageBox, QWidget* owner = nullptr);

    TarvikPPComms m_comms;
    TarvikPPMacros m_macros;
    TarvikPPPrefs m_prefs;
    TarvikPPMouse m_mouse;
};

}  // namespace tarvik
