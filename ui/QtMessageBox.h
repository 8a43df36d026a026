#pragma once
// Message boxes on screen.
#include "settings/MessageBox.h"

namespace tarvik {

class CQtMessageBox : public IMessageBox {
public:
    int Show(const std::string& text, const std::string& caption, unsigned flags) override;
};

}  // namespace tarvik
