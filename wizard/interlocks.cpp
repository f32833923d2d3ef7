#include "wizard/interlocks.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QRadioButton>

namespace tallivo {

namespace {

constexpr int kNoneItem = 0;
constexpr int kCharacterZeroItem = 1;   // "0"
constexpr int kFillerZeroItem = 49;     // "48", the character "0"
constexpr int kShortestLengthItem = 1;  // "1"
constexpr int kFirstMessageItem = 1;    // "<EOF>"

// Both side options cleared: an exclusive group never lets its last checked button go.
void DeselectBoth(QButtonGroup* group, QRadioButton* first, QRadioButton* second) {
    group->setExclusive(false);
    first->setChecked(false);
    second->setChecked(false);
    group->setExclusive(true);
}

void CharacterModeSelected(QComboBox* list, QLineEdit* text) {
    list->setEnabled(true);
    text->clear();
    text->setEnabled(false);
    list->setCurrentIndex(kCharacterZeroItem);
}

void StringModeSelected(QComboBox* list, QLineEdit* text) {
    list->setCurrentIndex(kNoneItem);
    list->setEnabled(false);
    text->setEnabled(true);
}

void Option5Selected(const Form12aControls& c) {
    c.Text2->clear();
    c.Combo1->setCurrentIndex(kNoneItem);
    c.Combo1->setEnabled(false);
    c.Text2->setEnabled(false);
}

void Option6Selected(const Form12aControls& c) {
    c.Text3->clear();
    c.Combo7->setCurrentIndex(kNoneItem);
    c.Combo7->setEnabled(false);
    c.Check1->setCheckState(Qt::Unchecked);
    c.Text3->setEnabled(false);
}

void Check1Changed(const Form12aControls& c, Qt::CheckState state) {
    if (state == Qt::Checked) {
        c.Combo11->setCurrentIndex(kFirstMessageItem);
        c.Combo11->setEnabled(true);
    } else if (state == Qt::Unchecked) {
        c.Combo11->setCurrentIndex(kNoneItem);
        c.Combo11->setEnabled(false);
    }
}

void Combo11Picked(const Form12aControls& c, int index) {
    if (index != kNoneItem) return;
    c.Check1->setCheckState(Qt::Unchecked);
    c.Combo11->setEnabled(false);
}

struct FixedLengthHalf {
    QComboBox* length;
    QComboBox* filler;
    QButtonGroup* sides;
    QRadioButton* left;
    QRadioButton* right;
};

void FixedLengthChanged(const FixedLengthHalf& half, Qt::CheckState state) {
    if (state == Qt::Checked) {
        half.length->setCurrentIndex(kShortestLengthItem);
        half.length->setEnabled(true);
        half.filler->setEnabled(true);
        half.filler->setCurrentIndex(kFillerZeroItem);
        half.left->setEnabled(true);
        half.right->setEnabled(true);
        half.left->setChecked(true);
    } else if (state == Qt::Unchecked) {
        half.length->setCurrentIndex(kNoneItem);
        half.length->setEnabled(false);
        half.filler->setCurrentIndex(kNoneItem);
        half.filler->setEnabled(false);
        DeselectBoth(half.sides, half.left, half.right);
        half.left->setEnabled(false);
        half.right->setEnabled(false);
    }
}

template <typename Rule>
void OnSelected(QRadioButton* option, Rule rule) {
    QObject::connect(option, &QRadioButton::toggled, option, [rule](bool selected) {
        if (selected) rule();
    });
}

template <typename Rule>
void OnCheckState(QCheckBox* box, Rule rule) {
    QObject::connect(box, &QCheckBox::stateChanged, box,
                     [rule](int state) { rule(static_cast<Qt::CheckState>(state)); });
}

}  // namespace

void ConnectInterlocks(const Form12aControls& c) {
    OnSelected(c.Option1, [c] { CharacterModeSelected(c.Combo1, c.Text2); });
    OnSelected(c.Option2, [c] { StringModeSelected(c.Combo1, c.Text2); });
    OnSelected(c.Option5, [c] { Option5Selected(c); });
    OnSelected(c.Option4, [c] { CharacterModeSelected(c.Combo7, c.Text3); });
    OnSelected(c.Option3, [c] { StringModeSelected(c.Combo7, c.Text3); });
    OnSelected(c.Option6, [c] { Option6Selected(c); });

    OnCheckState(c.Check1, [c](Qt::CheckState state) { Check1Changed(c, state); });
    // A change of the current item covers both the user's pick and code setting the list;
    // re-picking the item already shown changes nothing, which no rule needs.
    QObject::connect(c.Combo11, &QComboBox::currentIndexChanged, c.Combo11,
                     [c](int index) { Combo11Picked(c, index); });

    const FixedLengthHalf barcode{c.Combo14, c.Combo9, c.BarcodeSideGroup, c.Option10, c.Option11};
    const FixedLengthHalf quantity{c.Combo13, c.Combo12, c.QuantitySideGroup, c.Option13, c.Option12};
    OnCheckState(c.Check3, [barcode](Qt::CheckState state) { FixedLengthChanged(barcode, state); });
    OnCheckState(c.Check4, [quantity](Qt::CheckState state) { FixedLengthChanged(quantity, state); });
}

}  // namespace tallivo
