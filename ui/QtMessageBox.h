#pragma once
// Message boxes on screen.
#include "settings/MessageBox.h"

namespace tarvik {

class QtMessageBox : public MessageBox {
public:
    int showMessage(const std::string& text, const std::string& caption, unsigned flags) override;
};

}  // namespace tarvik
