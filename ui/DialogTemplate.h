#pragma once
// Dialog layouts as dialog units, and their reproduction with Qt widgets: each control is placed
// from dialog units measured on the template's font, so the arrangement keeps its proportions
// whatever fonts the machine has.
#include <cstdint>
#include <vector>

#include <QFont>
#include <QRect>
#include <QString>

class QWidget;

namespace tarvik {

enum class ControlKind { Edit, Button, Frame, GroupBox, CheckBox, RadioButton, ComboBox, Trackbar, Static, Bitmap };

// Style bits of a template control (the properties the dialog reproduces).
enum ControlStyle : uint32_t {
    ReadOnly = 1u << 0,
    Centered = 1u << 1,
    MultiLine = 1u << 2,
    AutoHScroll = 1u << 3,
    Border = 1u << 4,
    TabStop = 1u << 5,
    StaticEdge = 1u << 6,
    PushButton = 1u << 7,
    AutoCheckBox = 1u << 8,
    PushLike = 1u << 9,
    ShowsIcon = 1u << 10,
    ShowsBitmap = 1u << 11,
    EtchedFrame = 1u << 12,
    Sunken = 1u << 13,
    ClientEdge = 1u << 14,
    Group = 1u << 15,          // starts a group: a radio button with it begins a new radio group
    DefaultButton = 1u << 16,  // the button Enter presses
    RightAligned = 1u << 17,
    NoPrefix = 1u << 18,  // '&' is shown, not taken as a mnemonic
    VScroll = 1u << 19,
    AutoTicks = 1u << 20,  // a trackbar with a tick at every tick-frequency step
    BothTicks = 1u << 21,  // ... above and below
};

inline constexpr int NoControlId = -1;
// The id of a dialog's OK button: pressing it accepts the dialog.
inline constexpr int ControlOk = 1;

struct DialogControl {
    int id;
    ControlKind kind;
    const char* text;  // for a bitmap, the resource path of its picture
    int x, y, w, h;    // dialog units; a combo box's height includes its open list
    uint32_t style;
};

struct DialogTemplate {
    int id;
    const char* caption;
    int width, height;  // client area, dialog units
    const char* fontFace;
    int fontPoints;
    std::vector<DialogControl> controls;  // in tab order
    bool fixedPitch = false;              // the face is fixed-pitch (the fallback must be too)
};

// Template 102, the main window.
const DialogTemplate& mainDialogTemplate();

// Pixels per dialog unit: x = average character width / 4, y = character height / 8.
struct DluBase {
    int charWidth = 8;
    int charHeight = 16;
    QRect map(int x, int y, int w, int h) const;
};

// A proportional face at a point size. Where the face is missing, fontconfig's nearest
// sans-serif face stands in (a metric-compatible one when installed). Pitch and style are given,
// not left open, so a fixed-pitch font of the dialog does not steer the choice of a control's
// face to a typewriter one.
QFont sansSerifFont(const char* face, int points);

// The template's font as this machine can give it: the named face when installed, else the
// system's font of the same pitch at the same point size.
QFont templateFont(const DialogTemplate& dialogTemplate);
DluBase measureDluBase(const QFont& font);

// Creates the template's controls as children of `dialog` (named by their id, in tab order), in
// the template's font, and sizes the dialog's client area. Radio buttons from one with Group up
// to the next control with Group (or the next control that is not a radio button) form one
// exclusive group. Returns the dialog units used.
DluBase buildDialog(QWidget& dialog, const DialogTemplate& dialogTemplate);

// A control by its id (its object name), or null.
QWidget* getDlgItem(const QWidget& dialog, int id);
QString controlName(int id);

}  // namespace tarvik
