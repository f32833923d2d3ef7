// What a screen reader says for each control: lists and text boxes by their caption, the
// captions the window shows twice told apart by the half or frame they belong to.
#include <QAccessible>
#include <QComboBox>
#include <QLineEdit>

#include "wizard_fixture.h"

namespace tallivo::testing {
namespace {

using AccessibleNamesTest = WizardTest;

// The caption a reader gives the control. Linux readers speak a list's current item as its
// name and take its caption from the labelled-by relation; elsewhere the name is the caption.
QString SpokenCaption(QWidget* widget) {
    QAccessibleInterface* control = QAccessible::queryAccessibleInterface(widget);
    if (control == nullptr) return QStringLiteral("<no interface>");
    if (control->role() != QAccessible::ComboBox) return control->text(QAccessible::Name);
    for (const auto& [label, relation] : control->relations(QAccessible::Label)) {
        if (label->role() == QAccessible::StaticText) return label->text(QAccessible::Name);
    }
    return widget->accessibleName();
}

QString Description(QWidget* widget) {
    QAccessibleInterface* control = QAccessible::queryAccessibleInterface(widget);
    return control == nullptr ? QStringLiteral("<no interface>") : control->text(QAccessible::Description);
}

struct SpokenCase {
    const char* control;
    const char* caption;
    const char* description;
};

TEST_F(AccessibleNamesTest, EveryListAndTextBoxAndEveryRepeatedCaptionIsToldApart) {
    const SpokenCase cases[] = {
        {"Text4", "Folder:", ""},
        {"Text1", "File name:", ""},
        {"Combo1", "File header character", "File header character"},
        {"Text2", "File header string", ""},
        {"Combo2", "Rec. Header", ""},
        {"Combo3", "Barcode", ""},
        {"Combo4", "Quantity", ""},
        {"Combo5", "Date", ""},
        {"Combo6", "Rec. terminator", ""},
        {"Combo14", "Barcode Length", ""},
        {"Combo9", "Filler (ASCII)", "Barcode"},
        {"Combo13", "Quantity Length", ""},
        {"Combo12", "Filler (ASCII)", "Quantity"},
        {"Combo7", "File terminator character", "File terminator character"},
        {"Text3", "File terminator string", ""},
        {"Combo11", "End of file message", "End of file message"},
        {"Option1", "Characher (ASCII)", "File header"},
        {"Option5", "None", "File header"},
        {"Option2", "String", "File header"},
        {"Option4", "Characher (ASCII)", "File terminator"},
        {"Option6", "None", "File terminator"},
        {"Option3", "String", "File terminator"},
        {"Check3", "Fixed length", "Barcode"},
        {"Check4", "Fixed Length", "Quantity"},
        {"Option10", "left", "Barcode"},
        {"Option11", "Right", "Barcode"},
        {"Option13", "left", "Quantity"},
        {"Option12", "Right", "Quantity"},
        {"Frame2", "File header", ""},
        {"Frame6", "Fixed Length (Fill / Cut)", ""},
        {"Check9", "Also save a spreadsheet (.xlsx)", ""},
        {"Check10", "Skip records delivered before", ""},
        {"Command2", "Save Parameters", ""},
        {"PreviewToggle", "Preview", "Shows what polling would write with these settings"},
    };
    const auto window = StartWizard();
    for (const SpokenCase& row : cases) {
        SCOPED_TRACE(row.control);
        QWidget* widget = window->findChild<QWidget*>(QString::fromLatin1(row.control));
        ASSERT_NE(widget, nullptr);
        EXPECT_EQ(SpokenCaption(widget), QString::fromLatin1(row.caption));
        // Without a description of its own a control may speak its tooltip.
        if (row.description[0] != '\0') {
            EXPECT_EQ(Description(widget), QString::fromLatin1(row.description));
        }
    }
}

TEST_F(AccessibleNamesTest, NoListOrTextBoxTheUserCanSeeIsNamelessOrNamedOnlyByItsFrame) {
    const auto window = StartWizard();
    window->show();
    for (QWidget* widget : window->findChildren<QWidget*>()) {
        if (!widget->isVisible() || (!qobject_cast<QComboBox*>(widget) && !qobject_cast<QLineEdit*>(widget)))
            continue;
        SCOPED_TRACE(widget->objectName().toStdString());
        const QString caption = SpokenCaption(widget);
        EXPECT_FALSE(caption.isEmpty());
        const auto* frame = widget->parentWidget();
        EXPECT_NE(caption, frame->property("title").toString()) << "only the frame's caption";
    }
}

}  // namespace
}  // namespace tallivo::testing
