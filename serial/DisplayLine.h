#pragma once
// The window's display line: the remembered text (instrument name or a status) and the alerts
// that cover it until the next restore. Alerts also bring the window back.
#include <cstdint>
#include <string>

#include "serial/DisplayView.h"

namespace tarvik {

class CDisplayLine {
public:
    explicit CDisplayLine(IDisplayView& view) : m_view(view) {}

    void ShowRemembered(const std::string& text);
    // Nothing happens when the string table has no such entry.
    void ShowRememberedId(uint32_t id);
    void ShowText(const std::string& text);
    void ShowAlert(const std::string& text);
    void ShowAlertId(uint32_t id);
    // "<string id>: <text>", or only the text when the string does not load.
    void ShowAlertWithPrefix(uint32_t id, const std::string& text);
    // "<text>: <code in lower-case hex, at least two digits>".
    void ShowAlertWithCode(const std::string& text, uint32_t code);
    // Puts the remembered text back when something else is showing.
    void RestoreRemembered();

    const std::string& RememberedText() const { return m_strDisplayText; }

    std::string m_strDisplayText;

private:
    IDisplayView& m_view;
};

}  // namespace tarvik
