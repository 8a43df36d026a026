#pragma once
// The "Preferences" page: float on top, remember position, and the window at a stand-alone start.
#include <cstdint>

#include "common/Win32Codes.h"
#include "ui/PropertySheet.h"

namespace tarvik {

class CTarvikPPPrefs : public CPropertyPage {
public:
    CTarvikPPPrefs();

    Bool32 m_bFloat = 0;
    Bool32 m_bRememberPosition = 0;
    int32_t m_nStartMode = -1;  // 0 Visible, 1 Hidden, 2 Last Used

protected:
    void DoDataExchange(CDataExchange& dx) override;
};

}  // namespace tarvik
