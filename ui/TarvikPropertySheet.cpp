#include "ui/TarvikPropertySheet.h"

#include "res/StringTable.h"

namespace tarvik {

CTarvikPropertySheet::CTarvikPropertySheet(comm::IPortBindings& bindings, IMessageBox& messageBox, QWidget* owner)
    : CPropertySheet(LoadString(IDS_PROPERTIES_CAPTION), owner),
      m_comms(bindings, messageBox) {
    AddPage(m_macros);
    AddPage(m_prefs);
    AddPage(m_mouse);
    AddPage(m_comms);
}

}  // namespace tarvik
