#pragma once
// The main window's layout as dialog units, and its reproduction with Qt widgets: each control
// is placed from dialog units measured on the template's font, so the arrangement keeps its
// proportions whatever fonts the machine has.
#include <cstdint>
#include <vector>

#include <QFont>
#include <QRect>
#include <QString>

class QWidget;

namespace tarvik {

enum class ControlKind { Edit, Button, Frame };

// Style bits of a template control (the properties the window reproduces).
enum ControlStyle : uint32_t {
    kReadOnly = 1u << 0,
    kCentered = 1u << 1,
    kMultiLine = 1u << 2,
    kAutoHScroll = 1u << 3,
    kBorder = 1u << 4,
    kTabStop = 1u << 5,
    kStaticEdge = 1u << 6,
    kPushButton = 1u << 7,
    kAutoCheckBox = 1u << 8,
    kPushLike = 1u << 9,
    kShowsIcon = 1u << 10,
    kShowsBitmap = 1u << 11,
    kEtchedFrame = 1u << 12,
    kSunken = 1u << 13,
    kClientEdge = 1u << 14,
};

inline constexpr int kNoControlId = -1;

struct DialogControl {
    int id;
    ControlKind kind;
    const char* text;
    int x, y, w, h;  // dialog units
    uint32_t style;
};

struct DialogTemplate {
    int id;
    const char* caption;
    int width, height;  // client area, dialog units
    const char* fontFace;
    int fontPoints;
    std::vector<DialogControl> controls;  // in tab order
};

// Template 102, the main window.
const DialogTemplate& MainDialogTemplate();

// Pixels per dialog unit: x = average character width / 4, y = character height / 8.
struct DluBase {
    int charWidth = 8;
    int charHeight = 16;
    QRect Map(int x, int y, int w, int h) const;
};

// The template's font as this machine can give it: the named face when installed, else the
// system's fixed-pitch font at the same point size.
QFont TemplateFont(const DialogTemplate& dialogTemplate);
DluBase MeasureDluBase(const QFont& font);

// Creates the template's controls as children of `dialog` (named by their id, in tab order) and
// sizes the dialog's client area. Returns the dialog units used.
DluBase BuildDialog(QWidget& dialog, const DialogTemplate& dialogTemplate);

// A control by its id (its object name), or null.
QWidget* GetDlgItem(const QWidget& dialog, int id);
QString ControlName(int id);

}  // namespace tarvik
