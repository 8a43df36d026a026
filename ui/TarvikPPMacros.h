#pragma once
// The "Macros" page: caption, text and the Clr and Ret flags of the eight macros.
#include "input/Macros.h"
#include "ui/PropertySheet.h"

namespace tarvik {

class TarvikPPMacros : public PropertyPage {
public:
    TarvikPPMacros();

    MacroArray m_macros;

protected:
    void doDataExchange(DataExchange& dx) override;
};

}  // namespace tarvik
