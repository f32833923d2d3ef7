#include "wizard/form12a_access.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <utility>

#include "wizard/preview_frame.h"

namespace tallivo {

std::vector<QWidget*> ReadingOrder(const Form12aControls& c) {
    // clang-format off
    return {
        c.Text4, c.Text1,                                                    // Output folder/file name
        c.Option1, c.Option5, c.Option2, c.Combo1, c.Text2,                  // File header
        c.Combo2, c.Combo3, c.Combo4, c.Combo5, c.Combo6, c.Check6,          // Field separators
        c.Check3, c.Combo14, c.Option10, c.Option11, c.Combo9,               // Fixed length, barcode
        c.Check4, c.Combo13, c.Option13, c.Option12, c.Combo12,              // Fixed length, quantity
        c.Option4, c.Option6, c.Option3, c.Combo7, c.Text3, c.Check1, c.Combo11,  // File terminator
        c.Option7, c.Option8, c.Option9, c.Check7, c.Check8, c.Check9, c.Check10,  // Options
        c.PreviewToggle, c.Preview->sampleBox(),                             // Preview
        c.Command1, c.Command2, c.Command6, c.Command3,
    };
    // clang-format on
}

void SetTabOrder(const std::vector<QWidget*>& order) {
    // Tab stays in one window: the preview may have a window of its own.
    QWidget* previous = nullptr;
    for (QWidget* widget : order) {
        if (widget->window() != order.front()->window()) continue;
        if (previous != nullptr) QWidget::setTabOrder(previous, widget);
        previous = widget;
    }
}

void TabToChosenOption(QButtonGroup* group) {
    auto follow = [group] {
        const QList<QAbstractButton*> options = group->buttons();
        QAbstractButton* chosen = group->checkedButton();
        if (chosen == nullptr && !options.isEmpty()) chosen = options.front();
        for (QAbstractButton* option : options) {
            option->setFocusPolicy(option == chosen ? Qt::StrongFocus : Qt::ClickFocus);
        }
    };
    follow();
    QObject::connect(group, &QButtonGroup::buttonToggled, group, follow);
}

void DescribeForAssistiveTechnology(const Form12aControls& c) {
    // Lists and text boxes with a caption beside them take their name from it (the caption's
    // buddy); these have none. Linux readers speak a list's value as its name and its label
    // from the labelled-by relation, which here is only the frame: the description carries
    // the purpose there.
    const std::pair<QWidget*, const char*> unlabelled[] = {
        {c.Combo1, "File header character"},     {c.Text2, "File header string"},
        {c.Combo7, "File terminator character"}, {c.Text3, "File terminator string"},
        {c.Combo11, "End of file message"},
    };
    for (const auto& [control, name] : unlabelled) {
        control->setAccessibleName(QString::fromLatin1(name));
        if (qobject_cast<QComboBox*>(control) != nullptr)
            control->setAccessibleDescription(QString::fromLatin1(name));
    }

    const std::pair<std::vector<QWidget*>, const char*> halves[] = {
        {{c.Option1, c.Option5, c.Option2}, "File header"},
        {{c.Option4, c.Option6, c.Option3}, "File terminator"},
        {{c.Check3, c.Option10, c.Option11, c.Combo9, c.Label8}, "Barcode"},
        {{c.Check4, c.Option13, c.Option12, c.Combo12, c.Label10}, "Quantity"},
    };
    for (const auto& [controls, description] : halves) {
        for (QWidget* control : controls) control->setAccessibleDescription(QString::fromLatin1(description));
    }
}

}  // namespace tallivo
