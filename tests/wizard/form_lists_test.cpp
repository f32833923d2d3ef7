#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

#include "wizard_fixture.h"

namespace tallivo::testing {
namespace {

QStringList Items(const QComboBox* list) {
    QStringList items;
    for (int i = 0; i < list->count(); ++i) items << list->itemText(i);
    return items;
}

QStringList Numbered(const QString& first, const QString& prefix, int from, int to) {
    QStringList items;
    if (!first.isEmpty()) items << first;
    for (int n = from; n <= to; ++n) items << prefix + QString::number(n);
    return items;
}

using FormListsTest = WizardTest;

TEST_F(FormListsTest, EveryListHoldsExactlyItsItems) {
    const auto window = StartWizard();
    const QStringList characters = Numbered(QStringLiteral("NONE"), QString(), 0, 255);
    const QStringList lengths = Numbered(QStringLiteral("VARIABLE"), QString(), 1, 48);
    const struct {
        const char* name;
        QStringList items;
    } lists[] = {
        {"Combo1", characters},
        {"Combo2", characters},
        {"Combo3", characters},
        {"Combo4", characters},
        {"Combo5", characters},
        {"Combo6", characters},
        {"Combo7", characters},
        {"Combo9", characters},
        {"Combo12", characters},
        {"Combo8", Numbered(QString(), QStringLiteral("Com-"), 1, 255)},
        {"Combo10", {"2400", "4800", "9600", "19200"}},
        {"Combo11", {"NONE", "<EOF>", "<ETX>", "<EOT>"}},
        {"Combo13", lengths},
        {"Combo14", lengths},
    };
    for (const auto& [name, items] : lists) {
        SCOPED_TRACE(name);
        const auto* list = window->findChild<QComboBox*>(QString::fromLatin1(name));
        ASSERT_NE(list, nullptr);
        EXPECT_FALSE(list->isEditable());
        EXPECT_EQ(Items(list), items);
    }
    const auto* characterList = window->controls().Combo2;
    EXPECT_EQ(characterList->count(), 257);
    EXPECT_EQ(characterList->itemText(125), QStringLiteral("124"));
    EXPECT_EQ(characterList->itemText(49), QStringLiteral("48"));
    EXPECT_EQ(window->controls().Combo8->itemText(254), QStringLiteral("Com-255"));
}

TEST_F(FormListsTest, WindowCarriesItsCaptionAndPicture) {
    Form12a window(places_);
    EXPECT_EQ(window.windowTitle(), QStringLiteral("Velmora PDA Output file wizard (V. 3.0)"));
    EXPECT_FALSE(window.controls().Picture1->pixmap().isNull());
}

TEST_F(FormListsTest, HiddenControlsExistButCannotBeSeenOrUsed) {
    auto window = StartWizard();
    window->show();
    const Form12aControls& c = window->controls();
    for (QWidget* hidden :
         std::initializer_list<QWidget*>{c.Check2, c.Check5, c.Label7, c.Combo8, c.Label9, c.Combo10}) {
        EXPECT_FALSE(hidden->isVisible()) << hidden->objectName().toStdString();
    }
    for (QWidget* unusable : std::initializer_list<QWidget*>{c.Check2, c.Check5, c.Label7, c.Combo8}) {
        EXPECT_FALSE(unusable->isEnabled()) << unusable->objectName().toStdString();
    }
    EXPECT_TRUE(c.Option7->isVisible());
    EXPECT_TRUE(c.Combo14->isVisible());
    // They carry the defaults all the same.
    EXPECT_EQ(c.Combo8->currentText(), QStringLiteral("Com-1"));
    EXPECT_EQ(c.Combo10->currentText(), QStringLiteral("9600"));
    EXPECT_EQ(c.Check2->checkState(), Qt::Checked);
}

TEST_F(FormListsTest, InitControlsGivesTheStartUpState) {
    Form12a window(places_);
    window.InitControls();
    const struct {
        const char* name;
        const char* value;
        bool enabled;
    } expected[] = {
        {"Text4", "", true},
        {"Text1", "OUTPUT.TXT", true},
        {"Combo1", "NONE", false},
        {"Combo2", "NONE", true},
        {"Combo3", "124", true},
        {"Combo4", "124", true},
        {"Combo5", "NONE", true},
        {"Combo6", "NONE", true},
        {"Combo7", "NONE", false},
        {"Text3", "", false},
        {"Check1", "0", true},
        {"Combo11", "NONE", false},
        {"Combo8", "Com-1", false},
        {"Combo10", "9600", true},
        {"Combo14", "VARIABLE", false},
        {"Combo13", "VARIABLE", false},
        {"Combo9", "NONE", false},
        {"Combo12", "NONE", false},
        {"Option10", "0", false},
        {"Option11", "0", false},
        {"Option12", "0", false},
        {"Option13", "0", false},
        {"Check5", "0", false},
        {"Check2", "0", false},
        {"Option5", "1", true},
        {"Option6", "1", true},
        {"Option8", "1", true},
    };
    for (const auto& [name, value, enabled] : expected) {
        SCOPED_TRACE(name);
        EXPECT_EQ(Value(window, name), QString::fromLatin1(value));
        EXPECT_EQ(Enabled(window, name), enabled);
    }
    EXPECT_EQ(window.controls().Text1->selectedText(), QStringLiteral("OUTPUT.TXT"));
}

}  // namespace
}  // namespace tallivo::testing
