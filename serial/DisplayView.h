#pragma once
// The display line as the window shows it: one read-only text, and the window it sits in.
#include <string>

namespace tarvik {

class DisplayView {
public:
    virtual ~DisplayView() = default;
    virtual void setDisplayText(const std::string& text) = 0;
    virtual std::string getDisplayText() const = 0;
    // Brings a hidden or minimised window back (SW_RESTORE) without changing what was remembered
    // as the window's own visibility.
    virtual void restoreWindow() = 0;
};

}  // namespace tarvik
