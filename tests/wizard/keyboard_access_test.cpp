// The window set up from the keyboard alone: Tab reaches every control in reading order,
// the arrows move inside an option group, Space and Enter press the focused button only.
#include <QAccessible>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>
#include <set>

#include "wizard/preview_placement.h"
#include "wizard_fixture.h"

namespace tallivo::testing {
namespace {

class KeyboardAccessTest : public WizardTest {
  protected:
    std::unique_ptr<Form12a> ShowWizard() {
        auto window = StartWizard();
        window->show();
        window->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(window.get()));
        return window;
    }
    static QWidget* Focus() { return QApplication::focusWidget(); }
    static QString FocusName() {
        return Focus() == nullptr ? QStringLiteral("<none>") : Focus()->objectName();
    }
};

TEST_F(KeyboardAccessTest, TabVisitsEveryControlInReadingOrder) {
    const auto window = ShowWizard();
    const Form12aControls& c = window->controls();
    // Every dependent control usable at once: both fixed lengths on, header and terminator
    // given as strings, and the two character lists enabled by hand.
    c.Check3->setCheckState(Qt::Checked);
    c.Check4->setCheckState(Qt::Checked);
    c.Option2->setChecked(true);
    c.Option3->setChecked(true);
    c.Check1->setCheckState(Qt::Checked);
    c.Combo1->setEnabled(true);
    c.Combo7->setEnabled(true);

    // An option group is one stop, at its chosen option. The test screen has no room for the
    // preview in this window: its check box stands in the preview's place.
    const QStringList expected = {"Text4",    "Text1",    "Option2",  "Combo1",  "Text2",   "Combo2",
                                  "Combo3",   "Combo4",   "Combo5",   "Combo6",  "Check6",  "Check3",
                                  "Combo14",  "Option10", "Combo9",   "Check4",  "Combo13", "Option13",
                                  "Combo12",  "Option3",  "Combo7",   "Text3",   "Check1",  "Combo11",
                                  "Option8",  "Check7",   "Check8",   "Check9",  "Check10", "PreviewToggle",
                                  "Command1", "Command2", "Command6", "Command3"};

    c.Text4->setFocus(Qt::TabFocusReason);
    QStringList visited;
    for (int step = 0; step <= expected.size(); ++step) {
        visited << FocusName();
        QTest::keyClick(Focus(), Qt::Key_Tab);
    }
    EXPECT_EQ(visited.mid(0, expected.size()), expected);
    EXPECT_EQ(visited.last(), QStringLiteral("Text4")) << "Tab after the last button goes back to the top";

    // Nothing the user could operate is left out of the walk.
    const std::set<QString> walked(visited.begin(), visited.end());
    for (QWidget* widget : window->findChildren<QWidget*>()) {
        const bool operable =
            widget->isVisible() && widget->isEnabled() && (widget->focusPolicy() & Qt::TabFocus);
        const auto* option = qobject_cast<QRadioButton*>(widget);
        if (!operable || (option != nullptr && !option->isChecked())) continue;
        EXPECT_TRUE(walked.count(widget->objectName()))
            << widget->objectName().toStdString() << " is never reached";
    }
}

TEST_F(KeyboardAccessTest, ArrowsMoveWithinAnOptionGroupAndListsChangeWithThem) {
    const auto window = ShowWizard();
    const Form12aControls& c = window->controls();
    c.Option8->setFocus(Qt::TabFocusReason);
    QTest::keyClick(c.Option8, Qt::Key_Down);
    EXPECT_EQ(FocusName(), QStringLiteral("Option9"));
    EXPECT_TRUE(c.Option9->isChecked());
    QTest::keyClick(c.Option9, Qt::Key_Tab, Qt::ShiftModifier);
    EXPECT_EQ(FocusName(), QStringLiteral("Combo11")) << "Shift+Tab leaves the group from its chosen option";

    c.Combo3->setFocus(Qt::TabFocusReason);
    QTest::keyClick(c.Combo3, Qt::Key_Home);
    QTest::keyClick(c.Combo3, Qt::Key_Down);
    EXPECT_EQ(c.Combo3->currentText(), QStringLiteral("0"));
}

TEST_F(KeyboardAccessTest, SpaceOnPreviewOpensItsWindowAtTheSampleAndEscFoldsItAgain) {
    const auto window = ShowWizard();
    QCheckBox* toggle = window->controls().PreviewToggle;
    toggle->setFocus(Qt::TabFocusReason);
    QTest::keyClick(toggle, Qt::Key_Space);
    QWidget* own = window->previewPlacement().ownWindow();
    ASSERT_NE(own, nullptr);
    EXPECT_TRUE(QTest::qWaitFor([own] { return own->isActiveWindow(); }));
    EXPECT_EQ(FocusName(), QStringLiteral("PreviewSample"));
    QTest::keyClick(Focus(), Qt::Key_Escape);
    EXPECT_FALSE(own->isVisible());
    EXPECT_FALSE(toggle->isChecked());
}

struct ButtonKeyCase {
    Qt::Key key;
    const char* button;
    const char* question;
};

TEST_F(KeyboardAccessTest, SpaceAndEnterPressTheFocusedButton) {
    const ButtonKeyCase cases[] = {
        {Qt::Key_Space, "Command1", "Reset all parameters ?"},
        {Qt::Key_Return, "Command1", "Reset all parameters ?"},
        {Qt::Key_Enter, "Command1", "Reset all parameters ?"},
        {Qt::Key_Space, "Command2", "Save parameters to file ?"},
        {Qt::Key_Return, "Command2", "Save parameters to file ?"},
    };
    const auto window = ShowWizard();
    for (const ButtonKeyCase& row : cases) {
        SCOPED_TRACE(std::string(row.button) + " key " + std::to_string(row.key));
        auto* button = window->findChild<QPushButton*>(QString::fromLatin1(row.button));
        ASSERT_NE(button, nullptr);
        button->setFocus(Qt::TabFocusReason);
        MessageBox::clearShown();
        MessageBox::setNextAnswer(MessageBox::Answer::No);
        QTest::keyClick(button, row.key);
        EXPECT_EQ(ShownTexts(), std::vector<QString>{QString::fromLatin1(row.question)});
    }
}

TEST_F(KeyboardAccessTest, EnterInATextBoxOrListPressesNoButton) {
    const auto window = ShowWizard();
    const Form12aControls& c = window->controls();
    MessageBox::clearShown();
    for (QWidget* control : std::initializer_list<QWidget*>{c.Text1, c.Text4, c.Combo2}) {
        control->setFocus(Qt::TabFocusReason);
        QTest::keyClick(control, Qt::Key_Return);
        QTest::keyClick(control, Qt::Key_Enter);
        if (auto* list = qobject_cast<QComboBox*>(control)) list->hidePopup();
    }
    EXPECT_TRUE(ShownTexts().empty());
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

TEST_F(KeyboardAccessTest, EnterOnAboutOpensTheAboutWindow) {
    const auto window = ShowWizard();
    window->controls().Command6->setFocus(Qt::TabFocusReason);
    QString shownTitle;
    // The About window is modal: it is looked at and closed from inside its own loop.
    QTimer::singleShot(50, [&shownTitle] {
        if (QWidget* modal = QApplication::activeModalWidget()) {
            shownTitle = modal->windowTitle();
            modal->close();
        }
    });
    QTest::keyClick(window->controls().Command6, Qt::Key_Return);
    EXPECT_EQ(shownTitle, QStringLiteral("About"));
}

}  // namespace
}  // namespace tallivo::testing
