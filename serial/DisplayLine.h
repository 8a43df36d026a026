#pragma once
// The window's display line: the remembered text (instrument name or a status) and the alerts
// that cover it until the next restore. Alerts also bring the window back.
#include <cstdint>
#include <string>

#include "serial/DisplayView.h"

namespace tarvik {

class DisplayLine {
public:
    explicit DisplayLine(DisplayView& view) : m_view(view) {}

    void showRemembered(const std::string& text);
    // Nothing happens when the string table has no such entry.
    void showRememberedId(uint32_t id);
    void showText(const std::string& text);
    void showAlert(const std::string& text);
    void showAlertId(uint32_t id);
    // "<string id>: <text>", or only the text when the string does not load.
    void showAlertWithPrefix(uint32_t id, const std::string& text);
    // "<text>: <code in lower-case hex, at least two digits>".
    void showAlertWithCode(const std::string& text, uint32_t code);
    // Puts the remembered text back when something else is showing.
    void restoreRemembered();

    const std::string& rememberedText() const { return m_displayText; }

    std::string m_displayText;

private:
    DisplayView& m_view;
};

}  // namespace tarvik
