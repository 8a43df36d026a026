#include "ui/DialogTemplate.h"

#include <algorithm>

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetrics>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QWidget>

#include "ui/QtStartup.h"

namespace tarvik {
namespace {

constexpr uint32_t CheckStyle = AutoCheckBox | PushLike | Centered | TabStop | ClientEdge;
constexpr uint32_t MacroStyle = PushButton | Centered | TabStop | ClientEdge;

// Rounds like the system's mulDiv, so a control lands on the same pixel as there.
int mulDiv(int value, int numerator, int denominator) {
    const long long product = static_cast<long long>(value) * numerator;
    const long long half = denominator / 2;
    return static_cast<int>(product >= 0 ? (product + half) / denominator : (product - half) / denominator);
}

Qt::Alignment textAlignment(uint32_t style) {
    if (style & Centered) return Qt::AlignHCenter | Qt::AlignTop;
    if (style & RightAligned) return Qt::AlignRight | Qt::AlignTop;
    return Qt::AlignLeft | Qt::AlignTop;
}

QWidget* makeButton(QWidget& dialog, const DialogControl& control) {
    auto* button = new QPushButton(QString::fromUtf8(control.text), &dialog);
    button->setCheckable((control.style & AutoCheckBox) != 0);
    // Only a template's own default button answers Enter: in the main window Enter belongs to the
    // instrument.
    const bool isDefault = (control.style & DefaultButton) != 0;
    button->setAutoDefault(isDefault);
    button->setDefault(isDefault);
    if (control.id == ControlOk) {
        if (auto* owner = qobject_cast<QDialog*>(&dialog)) {
            QObject::connect(button, &QPushButton::clicked, owner, &QDialog::accept);
        }
    }
    return button;
}

QWidget* makeStatic(QWidget& dialog, const DialogControl& control) {
    auto* label = new QLabel(QString::fromUtf8(control.text), &dialog);
    // Plain text: a caption is never taken for markup.
    label->setTextFormat(Qt::PlainText);
    label->setAlignment(textAlignment(control.style));
    label->setWordWrap(true);
    return label;
}

QWidget* makeBitmap(QWidget& dialog, const DialogControl& control, const QSize& size) {
    auto* label = new QLabel(&dialog);
    if (control.style & ClientEdge) label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    const QPixmap picture = artPixmap(QString::fromUtf8(control.text));
    // A missing picture leaves the control empty; nothing is reported.
    if (!picture.isNull()) {
        const int inside = 2 * label->frameWidth();
        label->setPixmap(picture.scaled(size - QSize(inside, inside), Qt::KeepAspectRatio, Qt::SmoothTransformation));
    }
    label->setAlignment(Qt::AlignCenter);
    return label;
}

QWidget* makeControl(QWidget& dialog, const DialogControl& control, const QSize& size) {
    const QString text = QString::fromUtf8(control.text);
    switch (control.kind) {
        case ControlKind::Edit: {
            auto* edit = new QLineEdit(&dialog);
            edit->setReadOnly((control.style & ReadOnly) != 0);
            if (control.style & Centered) edit->setAlignment(Qt::AlignCenter);
            edit->setFrame((control.style & (Border | StaticEdge)) != 0);
            return edit;
        }
        case ControlKind::Button: return makeButton(dialog, control);
        case ControlKind::Frame: {
            auto* frame = new QFrame(&dialog);
            if (control.style & EtchedFrame) frame->setFrameStyle(QFrame::Box | QFrame::Sunken);
            frame->setAttribute(Qt::WA_TransparentForMouseEvents);
            return frame;
        }
        case ControlKind::GroupBox: {
            // A sibling drawn under the controls it surrounds, as in the template; it holds none.
            auto* group = new QGroupBox(text, &dialog);
            group->setAttribute(Qt::WA_TransparentForMouseEvents);
            return group;
        }
        case ControlKind::CheckBox: return new QCheckBox(text, &dialog);
        case ControlKind::RadioButton: {
            auto* radio = new QRadioButton(text, &dialog);
            // Exclusivity comes from the template's groups, not from sharing a parent.
            radio->setAutoExclusive(false);
            return radio;
        }
        case ControlKind::ComboBox: {
            auto* combo = new QComboBox(&dialog);
            combo->setInsertPolicy(QComboBox::NoInsert);
            return combo;
        }
        case ControlKind::Trackbar: {
            auto* slider = new QSlider(Qt::Horizontal, &dialog);
            if (control.style & AutoTicks) {
                slider->setTickPosition((control.style & BothTicks) ? QSlider::TicksBothSides : QSlider::TicksBelow);
            }
            return slider;
        }
        case ControlKind::Static: return makeStatic(dialog, control);
        case ControlKind::Bitmap: return makeBitmap(dialog, control, size);
    }
    return nullptr;
}

// The closed height of a drop-down list: one line of text in its frame, whatever the template
// gives for the open list.
constexpr int ComboClosedHeight = 12;

}  // namespace

const DialogTemplate& mainDialogTemplate() {
    static const DialogTemplate dialog{
        102,
        "Tarvik",
        130,
        79,
        "Fixedsys",
        9,
        {
            {1000, ControlKind::Edit, "", 3, 3, 110, 12,
             ReadOnly | Centered | MultiLine | AutoHScroll | Border | TabStop | StaticEdge},
            {1039, ControlKind::Button, "Shft", 18, 18, 14, 12, CheckStyle},
            {1040, ControlKind::Button, "Ctrl", 33, 18, 14, 12, CheckStyle},
            {NoControlId, ControlKind::Frame, "", 50, 18, 78, 58, EtchedFrame | Sunken},
            {1002, ControlKind::Button, "", 53, 35, 35, 12, MacroStyle},
            {1003, ControlKind::Button, "", 53, 48, 35, 12, MacroStyle},
            {1004, ControlKind::Button, "", 53, 61, 35, 12, MacroStyle},
            {1009, ControlKind::Button, "", 90, 22, 35, 12, MacroStyle},
            {1005, ControlKind::Button, "", 90, 35, 35, 12, MacroStyle},
            {1006, ControlKind::Button, "", 90, 48, 35, 12, MacroStyle},
            {1007, ControlKind::Button, "", 90, 61, 35, 12, MacroStyle},
            {57670, ControlKind::Button, "Help", 115, 3, 13, 13, PushButton | ShowsIcon | TabStop | ClientEdge},
            {1008, ControlKind::Button, "", 53, 22, 35, 12, MacroStyle},
            {1041, ControlKind::Button, "Esc", 3, 18, 14, 12, CheckStyle},
            {1042, ControlKind::Button, "Mouse", 3, 32, 44, 44,
             AutoCheckBox | PushLike | ShowsBitmap | TabStop | ClientEdge},
        },
        /*fixedPitch=*/true};
    return dialog;
}

QRect DluBase::map(int x, int y, int w, int h) const {
    return QRect(mulDiv(x, charWidth, 4), mulDiv(y, charHeight, 8), mulDiv(w, charWidth, 4), mulDiv(h, charHeight, 8));
}

QFont sansSerifFont(const char* face, int points) {
    QFont font(QString::fromLatin1(face), points);
    font.setStyleHint(QFont::SansSerif);
    font.setFixedPitch(false);
    return font;
}

QFont templateFont(const DialogTemplate& dialogTemplate) {
    if (!dialogTemplate.fixedPitch) return sansSerifFont(dialogTemplate.fontFace, dialogTemplate.fontPoints);
    QFont font(QString::fromLatin1(dialogTemplate.fontFace), dialogTemplate.fontPoints);
    font.setStyleHint(QFont::TypeWriter);
    font.setFixedPitch(true);
    if (!QFontInfo(font).fixedPitch()) {
        font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
        font.setPointSize(dialogTemplate.fontPoints);
    }
    return font;
}

DluBase measureDluBase(const QFont& font) {
    const QFontMetrics metrics(font);
    DluBase base;
    base.charWidth = std::max(1, metrics.averageCharWidth());
    base.charHeight = std::max(1, metrics.height());
    return base;
}

DluBase buildDialog(QWidget& dialog, const DialogTemplate& dialogTemplate) {
    fontsReady();
    const QFont font = templateFont(dialogTemplate);
    const DluBase base = measureDluBase(font);
    dialog.setFont(font);
    QButtonGroup* radioGroup = nullptr;
    for (const DialogControl& control : dialogTemplate.controls) {
        const int height = control.kind == ControlKind::ComboBox ? std::min(control.h, ComboClosedHeight) : control.h;
        const QRect rect = base.map(control.x, control.y, control.w, height);
        QWidget* widget = makeControl(dialog, control, rect.size());
        widget->setObjectName(controlName(control.id));
        widget->setGeometry(rect);
        widget->setFocusPolicy((control.style & TabStop) ? Qt::StrongFocus : Qt::NoFocus);
        // A page is filled when its tab is first shown, after its parent is already on screen.
        widget->show();
        if (control.kind != ControlKind::RadioButton) {
            radioGroup = nullptr;
            continue;
        }
        if (radioGroup == nullptr || (control.style & Group)) radioGroup = new QButtonGroup(&dialog);
        radioGroup->addButton(static_cast<QRadioButton*>(widget));
    }
    const QRect client = base.map(0, 0, dialogTemplate.width, dialogTemplate.height);
    dialog.setFixedSize(client.size());
    dialog.setWindowTitle(QString::fromUtf8(dialogTemplate.caption));
    return base;
}

QWidget* getDlgItem(const QWidget& dialog, int id) {
    return dialog.findChild<QWidget*>(controlName(id), Qt::FindDirectChildrenOnly);
}

QString controlName(int id) { return id == NoControlId ? QStringLiteral("frame") : QString::number(id); }

}  // namespace tarvik
