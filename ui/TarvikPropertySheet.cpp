#include "ui/TarvikPropertySheet.h"

#include "res/StringTable.h"

namespace tarvik {

CTarvikPropertySheet::CTarvikPropertySheet(comm::IPortBindings& bindings, IMessageBox& messageBox)
    : CPropertySheet(LoadString(IDS_PROPERTIES_CAPTION)),
      m_comms(bindings, messageBox) {
    AddPage(m_macros);
    AddPage(m_prefs);
    AddPage(m_mouse);
    AddPage(m_comms);
}

}  // namespace tarvik
