#pragma once
// The "Macros" page: caption, text and the Clr and Ret flags of the eight macros.
#include "input/Macros.h"
#include "ui/PropertySheet.h"

namespace tarvik {

class CTarvikPPMacros : public CPropertyPage {
public:
    CTarvikPPMacros();

    MacroArray m_macros;

protected:
    void DoDataExchange(CDataExchange& dx) override;
};

}  // namespace tarvik
