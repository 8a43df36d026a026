// How the main window reads: a proportional face on the display line and the buttons, and every
// caption inside its button. CTest runs these cases twice: with the machine's fonts, and with
// DejaVu alone (dejavu-only.conf), as on a Debian system with no metric-compatible face.
#include <gtest/gtest.h>

#include <QFontInfo>
#include <QFontMetrics>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QStyleOptionButton>
#include <QStyleOptionFrame>

#include "settings/HiveSettings.h"
#include "tests/e2e/window/WindowHarness.h"
#include "tests/support/TestSandbox.h"

namespace tarvik::test {
namespace {

// The part of a push button its caption is drawn in: inside the bevel.
QRect CaptionRoom(const QPushButton& button) {
    QStyleOptionButton option;
    option.initFrom(&button);
    if (button.autoDefault()) option.features |= QStyleOptionButton::AutoDefaultButton;
    return button.style()->subElementRect(QStyle::SE_PushButtonContents, &option, &button);
}

// The part of a line edit its text is drawn in: inside the frame.
QRect TextRoom(const QLineEdit& edit) {
    QStyleOptionFrame option;
    option.initFrom(&edit);
    option.lineWidth = edit.hasFrame() ? edit.style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &option, &edit) : 0;
    return edit.style()->subElementRect(QStyle::SE_LineEditContents, &option, &edit);
}

std::string Face(const QWidget& widget) { return QFontInfo(widget.font()).family().toStdString(); }

TEST(WindowLook, CaptionsFitTheirButtonsInAProportionalFace) {
    TestSandbox sandbox;
    RecordingBox box;
    HiveSettings settings{box};
    Harness harness(settings, {"tarvik"});
    ASSERT_TRUE(harness.start());
    MainWindow& dlg = *harness.window;

    EXPECT_FALSE(QFontInfo(dlg.m_display->font()).fixedPitch()) << Face(*dlg.m_display);
    EXPECT_LE(QFontMetrics(dlg.m_display->font()).height(), TextRoom(*dlg.m_display).height()) << Face(*dlg.m_display);
    int captions = 0;
    for (const QPushButton* button : dlg.findChildren<QPushButton*>()) {
        // The Help and Mouse buttons show pictures.
        if (button->text().isEmpty()) continue;
        ++captions;
        const std::string what = button->text().toStdString() + " in " + Face(*button);
        EXPECT_FALSE(QFontInfo(button->font()).fixedPitch()) << what;
        const QFontMetrics metrics(button->font());
        const QRect room = CaptionRoom(*button);
        EXPECT_LE(metrics.horizontalAdvance(button->text()), room.width()) << what;
        EXPECT_LE(metrics.height(), room.height()) << what;
    }
    EXPECT_EQ(captions, 11) << "Esc, Shft, Ctrl and the eight function buttons";
}

}  // namespace
}  // namespace tarvik::test
