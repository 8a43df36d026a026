#pragma once
// The "Preferences" page: float on top, remember position, and the window at a stand-alone start.
#include <cstdint>

#include "common/Win32Codes.h"
#include "ui/PropertySheet.h"

namespace tarvik {

class TarvikPPPrefs : public PropertyPage {
public:
    TarvikPPPrefs();

    int32_t m_float = 0;
    int32_t m_rememberPosition = 0;
    int32_t m_startMode = -1;  // 0 Visible, 1 Hidden, 2 Last Used

protected:
    void doDataExchange(DataExchange& dx) override;
};

}  // namespace tarvik
