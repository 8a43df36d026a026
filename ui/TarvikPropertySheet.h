#pragma once
// "Tarvik Properties": the macros, the window preferences, the instrument mouse and the two serial
// ports, on four pages in that order.
#include "ui/PropertySheet.h"
#include "ui/TarvikPPComms.h"
#include "ui/TarvikPPMacros.h"
#include "ui/TarvikPPMouse.h"
#include "ui/TarvikPPPrefs.h"

namespace tarvik {

class CTarvikPropertySheet : public CPropertySheet {
public:
    CTarvikPropertySheet(comm::IPortBindings& bindings, IMessageBox& messageBox, QWidget* owner = nullptr);

    CTarvikPPComms m_comms;
    CTarvikPPMacros m_macros;
    CTarvikPPPrefs m_prefs;
    CTarvikPPMouse m_mouse;
};

}  // namespace tarvik
