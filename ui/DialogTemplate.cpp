#include "ui/DialogTemplate.h"

#include <algorithm>

#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetrics>
#include <QFrame>
#include <QLineEdit>
#include <QPushButton>
#include <QWidget>

namespace tarvik {
namespace {

constexpr uint32_t kCheckStyle = kAutoCheckBox | kPushLike | kCentered | kTabStop | kClientEdge;
constexpr uint32_t kMacroStyle = kPushButton | kCentered | kTabStop | kClientEdge;

// Rounds like the system's MulDiv, so a control lands on the same pixel as there.
int MulDiv(int value, int numerator, int denominator) {
    const long long product = static_cast<long long>(value) * numerator;
    const long long half = denominator / 2;
    return static_cast<int>(product >= 0 ? (product + half) / denominator : (product - half) / denominator);
}

QWidget* MakeControl(QWidget& dialog, const DialogControl& control) {
    switch (control.kind) {
        case ControlKind::Edit: {
            auto* edit = new QLineEdit(&dialog);
            edit->setReadOnly((control.style & kReadOnly) != 0);
            if (control.style & kCentered) edit->setAlignment(Qt::AlignCenter);
            edit->setFrame((control.style & (kBorder | kStaticEdge)) != 0);
            return edit;
        }
        case ControlKind::Button: {
            auto* button = new QPushButton(QString::fromLatin1(control.text), &dialog);
            button->setCheckable((control.style & kAutoCheckBox) != 0);
            // Enter belongs to the instrument, never to a default button of this window.
            button->setAutoDefault(false);
            button->setDefault(false);
            return button;
        }
        case ControlKind::Frame: {
            auto* frame = new QFrame(&dialog);
            if (control.style & kEtchedFrame) frame->setFrameStyle(QFrame::Box | QFrame::Sunken);
            frame->setAttribute(Qt::WA_TransparentForMouseEvents);
            return frame;
        }
    }
    return nullptr;
}

}  // namespace

const DialogTemplate& MainDialogTemplate() {
    static const DialogTemplate dialog{
        102,
        "Tarvik",
        130,
        79,
        "Fixedsys",
        9,
        {
            {1000, ControlKind::Edit, "", 3, 3, 110, 12,
             kReadOnly | kCentered | kMultiLine | kAutoHScroll | kBorder | kTabStop | kStaticEdge},
            {1039, ControlKind::Button, "Shft", 18, 18, 14, 12, kCheckStyle},
            {1040, ControlKind::Button, "Ctrl", 33, 18, 14, 12, kCheckStyle},
            {kNoControlId, ControlKind::Frame, "", 50, 18, 78, 58, kEtchedFrame | kSunken},
            {1002, ControlKind::Button, "", 53, 35, 35, 12, kMacroStyle},
            {1003, ControlKind::Button, "", 53, 48, 35, 12, kMacroStyle},
            {1004, ControlKind::Button, "", 53, 61, 35, 12, kMacroStyle},
            {1009, ControlKind::Button, "", 90, 22, 35, 12, kMacroStyle},
            {1005, ControlKind::Button, "", 90, 35, 35, 12, kMacroStyle},
            {1006, ControlKind::Button, "", 90, 48, 35, 12, kMacroStyle},
            {1007, ControlKind::Button, "", 90, 61, 35, 12, kMacroStyle},
            {57670, ControlKind::Button, "Help", 115, 3, 13, 13, kPushButton | kShowsIcon | kTabStop | kClientEdge},
            {1008, ControlKind::Button, "", 53, 22, 35, 12, kMacroStyle},
            {1041, ControlKind::Button, "Esc", 3, 18, 14, 12, kCheckStyle},
            {1042, ControlKind::Button, "Mouse", 3, 32, 44, 44,
             kAutoCheckBox | kPushLike | kShowsBitmap | kTabStop | kClientEdge},
        }};
    return dialog;
}

QRect DluBase::Map(int x, int y, int w, int h) const {
    return QRect(MulDiv(x, charWidth, 4), MulDiv(y, charHeight, 8), MulDiv(w, charWidth, 4), MulDiv(h, charHeight, 8));
}

QFont TemplateFont(const DialogTemplate& dialogTemplate) {
    QFont font(QString::fromLatin1(dialogTemplate.fontFace), dialogTemplate.fontPoints);
    font.setStyleHint(QFont::TypeWriter);
    font.setFixedPitch(true);
    if (!QFontInfo(font).fixedPitch()) {
        font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
        font.setPointSize(dialogTemplate.fontPoints);
    }
    return font;
}

DluBase MeasureDluBase(const QFont& font) {
    const QFontMetrics metrics(font);
    DluBase base;
    base.charWidth = std::max(1, metrics.averageCharWidth());
    base.charHeight = std::max(1, metrics.height());
    return base;
}

DluBase BuildDialog(QWidget& dialog, const DialogTemplate& dialogTemplate) {
    const DluBase base = MeasureDluBase(TemplateFont(dialogTemplate));
    for (const DialogControl& control : dialogTemplate.controls) {
        QWidget* widget = MakeControl(dialog, control);
        widget->setObjectName(ControlName(control.id));
        widget->setGeometry(base.Map(control.x, control.y, control.w, control.h));
        widget->setFocusPolicy((control.style & kTabStop) ? Qt::StrongFocus : Qt::NoFocus);
    }
    const QRect client = base.Map(0, 0, dialogTemplate.width, dialogTemplate.height);
    dialog.setFixedSize(client.size());
    dialog.setWindowTitle(QString::fromLatin1(dialogTemplate.caption));
    return base;
}

QWidget* GetDlgItem(const QWidget& dialog, int id) {
    return dialog.findChild<QWidget*>(ControlName(id), Qt::FindDirectChildrenOnly);
}

QString ControlName(int id) { return id == kNoControlId ? QStringLiteral("frame") : QString::number(id); }

}  // namespace tarvik
