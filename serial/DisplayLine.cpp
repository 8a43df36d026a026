#include "serial/DisplayLine.h"

#include <cstdio>
#include <vector>

#include "res/StringTable.h"

namespace tarvik {

void DisplayLine::showRemembered(const std::string& text) {
    m_displayText = text;
    m_view.setDisplayText(text);
}

void DisplayLine::showRememberedId(uint32_t id) {
    std::string text;
    if (tryLoadString(id, text)) showRemembered(text);
}

void DisplayLine::showText(const std::string& text) { m_view.setDisplayText(text); }

void DisplayLine::showAlert(const std::string& text) {
    m_view.setDisplayText(text);
    m_view.restoreWindow();
}

void DisplayLine::showAlertId(uint32_t id) {
    std::string text;
    if (tryLoadString(id, text)) showAlert(text);
}

void DisplayLine::showAlertWithPrefix(uint32_t id, const std::string& text) {
    std::string prefix;
    showAlert(tryLoadString(id, prefix) ? prefix + ": " + text : text);
}

void DisplayLine::showAlertWithCode(const std::string& text, uint32_t code) {
    // The text is passed as an argument, never as the format, so a '%' in it is shown as is.
    std::vector<char> buffer(text.size() + 16);
    const int written = std::snprintf(buffer.data(), buffer.size(), "%s: %02x", text.c_str(), code);
    showAlert(written > 0 ? std::string(buffer.data(), static_cast<size_t>(written)) : text);
}

void DisplayLine::restoreRemembered() {
    if (m_view.getDisplayText() != m_displayText) m_view.setDisplayText(m_displayText);
}

}  // namespace tarvik
