#include "serial/DisplayLine.h"

#include <cstdio>
#include <vector>

#include "res/StringTable.h"

namespace tarvik {

void CDisplayLine::ShowRemembered(const std::string& text) {
    m_strDisplayText = text;
    m_view.SetDisplayText(text);
}

void CDisplayLine::ShowRememberedId(uint32_t id) {
    std::string text;
    if (TryLoadString(id, text)) ShowRemembered(text);
}

void CDisplayLine::ShowText(const std::string& text) { m_view.SetDisplayText(text); }

void CDisplayLine::ShowAlert(const std::string& text) {
    m_view.SetDisplayText(text);
    m_view.RestoreWindow();
}

void CDisplayLine::ShowAlertId(uint32_t id) {
    std::string text;
    if (TryLoadString(id, text)) ShowAlert(text);
}

void CDisplayLine::ShowAlertWithPrefix(uint32_t id, const std::string& text) {
    std::string prefix;
    ShowAlert(TryLoadString(id, prefix) ? prefix + ": " + text : text);
}

void CDisplayLine::ShowAlertWithCode(const std::string& text, uint32_t code) {
    // The text is passed as an argument, never as the format, so a '%' in it is shown as is.
    std::vector<char> buffer(text.size() + 16);
    const int written = std::snprintf(buffer.data(), buffer.size(), "%s: %02x", text.c_str(), code);
    ShowAlert(written > 0 ? std::string(buffer.data(), static_cast<size_t>(written)) : text);
}

void CDisplayLine::RestoreRemembered() {
    if (m_view.GetDisplayText() != m_strDisplayText) m_view.SetDisplayText(m_strDisplayText);
}

}  // namespace tarvik
