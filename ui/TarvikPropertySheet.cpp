#include "ui/TarvikPropertySheet.h"

#include "res/StringTable.h"

namespace tarvik {

TarvikPropertySheet::TarvikPropertySheet(comm::PortBindings& bindings, MessageBox& messageBox, QWidget* owner)
    : PropertySheet(loadString(StringPropertiesCaption), owner),
      m_comms(bindings, messageBox) {
    addPage(m_macros);
    addPage(m_prefs);
    addPage(m_mouse);
    addPage(m_comms);
}

}  // namespace tarvik
