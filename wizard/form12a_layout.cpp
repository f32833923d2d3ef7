#include "wizard/form12a_layout.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "wizard/code_page_validator.h"
#include "wizard/form12a_access.h"
#include "wizard/preview_frame.h"

namespace tallivo {

namespace {

const char* const kStyle = R"(
#Form12a { background-color: #E0E0E0; }
QGroupBox, QLabel, QCheckBox, QRadioButton { background-color: #E0E0E0; }
QGroupBox {
    border: 1px solid #A0A0A0; border-radius: 3px;
    margin-top: 0.8em; padding: 0.5em 6px 4px 6px;
    color: #000080; font-weight: bold;
}
QGroupBox::title { subcontrol-origin: margin; left: 8px; padding: 0 3px; color: #000080; }
QGroupBox#Frame7, QGroupBox#Frame8 { margin-top: 0; padding: 2px 4px; font-weight: normal; }
QCheckBox, QRadioButton { color: #000080; }
QCheckBox:disabled, QRadioButton:disabled { color: #7878A8; }
QLabel { color: #404040; }
QComboBox, QLineEdit {
    color: #00FF00; background-color: #000000;
    border: 1px solid #606060; padding: 1px 4px;
    selection-color: #000000; selection-background-color: #00FF00;
}
QComboBox:disabled, QLineEdit:disabled { color: #008000; background-color: #1C1C1C; border-color: #A0A0A0; }
QComboBox QAbstractItemView { color: #00FF00; background-color: #000000; selection-background-color: #000080; }
QComboBox::drop-down { border-left: 1px solid #606060; width: 16px; background-color: #C8C8C8; }
QComboBox::down-arrow { image: url(:/wizard/arrow-down.png); }
QComboBox::down-arrow:disabled { image: url(:/wizard/arrow-down-disabled.png); }
)";

template <typename Widget>
Widget* Named(Widget* widget, const char* name) {
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}

QGroupBox* Frame(const char* name, const char* caption) {
    return Named(new QGroupBox(QString::fromLatin1(caption)), name);
}
QLabel* Caption(const char* name, const char* caption) {
    return Named(new QLabel(QString::fromLatin1(caption)), name);
}
QLineEdit* TextBox(const char* name) {
    auto* box = Named(new QLineEdit, name);
    box->setValidator(new CodePageValidator(box));
    return box;
}
QRadioButton* Option(const char* name, const char* caption) {
    return Named(new QRadioButton(QString::fromLatin1(caption)), name);
}
QCheckBox* Check(const char* name, const char* caption) {
    return Named(new QCheckBox(QString::fromLatin1(caption)), name);
}
QComboBox* List(const char* name, int minimumWidth) {
    auto* list = Named(new QComboBox, name);
    list->setEditable(false);
    list->setMinimumWidth(minimumWidth);
    list->setMaxVisibleItems(16);
    return list;
}
QPushButton* Button(const char* name, const char* caption) {
    return Named(new QPushButton(QString::fromLatin1(caption)), name);
}
QButtonGroup* Group(QWidget* owner, std::initializer_list<QRadioButton*> options) {
    auto* group = new QButtonGroup(owner);
    group->setExclusive(true);
    for (QRadioButton* option : options) group->addButton(option);
    return group;
}

// A caption over its list, as the lists of the separator and fixed-length frames show.
QVBoxLayout* CaptionOver(QLabel* caption, QWidget* list) {
    auto* column = new QVBoxLayout;
    column->setSpacing(2);
    column->addWidget(caption);
    column->addWidget(list);
    return column;
}

constexpr int kCharacterListWidth = 78;
constexpr int kLengthListWidth = 96;

void BuildOutputFrame(Form12aControls& c) {
    c.Frame1 = Frame("Frame1", "Output folder/file name");
    c.Label13 = Caption("Label13", "Folder:");
    c.Text4 = TextBox("Text4");
    c.Label1 = Caption("Label1", "File name:");
    c.Text1 = TextBox("Text1");
    c.Label13->setBuddy(c.Text4);
    c.Label1->setBuddy(c.Text1);
    auto* grid = new QGridLayout(c.Frame1);
    grid->addWidget(c.Label13, 0, 0);
    grid->addWidget(c.Text4, 0, 1);
    grid->addWidget(c.Label1, 1, 0);
    grid->addWidget(c.Text1, 1, 1);
    grid->setColumnStretch(1, 1);
}

// The file header and file terminator frames share one shape: three options, the
// character list under the first and the string box under the last.
QGridLayout* ModeFrameGrid(QGroupBox* frame, QRadioButton* character, QRadioButton* none,
                           QRadioButton* string, QComboBox* list, QLineEdit* text) {
    auto* grid = new QGridLayout(frame);
    grid->addWidget(character, 0, 0);
    grid->addWidget(none, 0, 1);
    grid->addWidget(string, 0, 2);
    grid->addWidget(list, 1, 0, Qt::AlignLeft);
    grid->addWidget(text, 1, 1, 1, 2);
    grid->setColumnStretch(2, 1);
    return grid;
}

void BuildFileHeaderFrame(QWidget* window, Form12aControls& c) {
    c.Frame2 = Frame("Frame2", "File header");
    c.Option1 = Option("Option1", "Characher (ASCII)");
    c.Option5 = Option("Option5", "None");
    c.Option2 = Option("Option2", "String");
    c.Combo1 = List("Combo1", kCharacterListWidth);
    c.Text2 = TextBox("Text2");
    ModeFrameGrid(c.Frame2, c.Option1, c.Option5, c.Option2, c.Combo1, c.Text2);
    c.FileHeaderGroup = Group(window, {c.Option1, c.Option5, c.Option2});
}

void BuildSeparatorFrame(Form12aControls& c) {
    c.Frame3 = Frame("Frame3", "Field separators (ASCII)");
    c.Label2 = Caption("Label2", "Rec. Header");
    c.Label3 = Caption("Label3", "Barcode");
    c.Label4 = Caption("Label4", "Quantity");
    c.Label5 = Caption("Label5", "Date");
    c.Label6 = Caption("Label6", "Rec. terminator");
    c.Combo2 = List("Combo2", kCharacterListWidth);
    c.Combo3 = List("Combo3", kCharacterListWidth);
    c.Combo4 = List("Combo4", kCharacterListWidth);
    c.Combo5 = List("Combo5", kCharacterListWidth);
    c.Combo6 = List("Combo6", kCharacterListWidth);
    c.Check6 = Check("Check6", "Hide Date and Time field");
    auto* grid = new QGridLayout(c.Frame3);
    const std::pair<QLabel*, QComboBox*> columns[] = {{c.Label2, c.Combo2},
                                                      {c.Label3, c.Combo3},
                                                      {c.Label4, c.Combo4},
                                                      {c.Label5, c.Combo5},
                                                      {c.Label6, c.Combo6}};
    int column = 0;
    for (const auto& [caption, list] : columns) {
        caption->setBuddy(list);
        grid->addWidget(caption, 0, column);
        grid->addWidget(list, 1, column);
        ++column;
    }
    grid->addWidget(c.Check6, 2, 0, 1, 5);
}

// One half of the fixed-length frame: the check box, the length, the side and the filler.
QVBoxLayout* FixedLengthHalf(QCheckBox* check, QLabel* lengthCaption, QComboBox* length, QGroupBox* sideFrame,
                             QRadioButton* left, QRadioButton* right, QLabel* fillerCaption,
                             QComboBox* filler) {
    lengthCaption->setBuddy(length);
    fillerCaption->setBuddy(filler);
    auto* sides = new QHBoxLayout(sideFrame);
    sides->addWidget(left);
    sides->addWidget(right);
    auto* row = new QHBoxLayout;
    row->addLayout(CaptionOver(lengthCaption, length));
    row->addWidget(sideFrame, 0, Qt::AlignBottom);
    row->addLayout(CaptionOver(fillerCaption, filler));
    row->addStretch(1);
    auto* half = new QVBoxLayout;
    half->addWidget(check);
    half->addLayout(row);
    return half;
}

void BuildFixedLengthFrame(QWidget* window, Form12aControls& c) {
    c.Frame6 = Frame("Frame6", "Fixed Length (Fill / Cut)");
    c.Check3 = Check("Check3", "Fixed length");
    c.Label12 = Caption("Label12", "Barcode Length");
    c.Combo14 = List("Combo14", kLengthListWidth);
    c.Frame7 = Frame("Frame7", "");
    c.Option10 = Option("Option10", "left");
    c.Option11 = Option("Option11", "Right");
    c.Label8 = Caption("Label8", "Filler (ASCII)");
    c.Combo9 = List("Combo9", kCharacterListWidth);

    c.Check4 = Check("Check4", "Fixed Length");
    c.Label11 = Caption("Label11", "Quantity Length");
    c.Combo13 = List("Combo13", kLengthListWidth);
    c.Frame8 = Frame("Frame8", "");
    c.Option13 = Option("Option13", "left");
    c.Option12 = Option("Option12", "Right");
    c.Label10 = Caption("Label10", "Filler (ASCII)");
    c.Combo12 = List("Combo12", kCharacterListWidth);

    auto* halves = new QHBoxLayout(c.Frame6);
    halves->addLayout(FixedLengthHalf(c.Check3, c.Label12, c.Combo14, c.Frame7, c.Option10, c.Option11,
                                      c.Label8, c.Combo9));
    halves->addSpacing(16);
    halves->addLayout(FixedLengthHalf(c.Check4, c.Label11, c.Combo13, c.Frame8, c.Option13, c.Option12,
                                      c.Label10, c.Combo12));
    c.BarcodeSideGroup = Group(window, {c.Option10, c.Option11});
    c.QuantitySideGroup = Group(window, {c.Option13, c.Option12});
}

void BuildFileTerminatorFrame(QWidget* window, Form12aControls& c) {
    c.Frame4 = Frame("Frame4", "File terminator");
    c.Option4 = Option("Option4", "Characher (ASCII)");
    c.Option6 = Option("Option6", "None");
    c.Option3 = Option("Option3", "String");
    c.Combo7 = List("Combo7", kCharacterListWidth);
    c.Text3 = TextBox("Text3");
    c.Check1 = Check("Check1", "Additional end of file message");
    c.Combo11 = List("Combo11", kLengthListWidth);
    QGridLayout* grid = ModeFrameGrid(c.Frame4, c.Option4, c.Option6, c.Option3, c.Combo7, c.Text3);
    auto* message = new QHBoxLayout;
    message->addWidget(c.Check1);
    message->addWidget(c.Combo11);
    message->addStretch(1);
    grid->addLayout(message, 2, 0, 1, 3);
    c.FileTerminatorGroup = Group(window, {c.Option4, c.Option6, c.Option3});
}

void BuildOptionsFrame(QWidget* window, Form12aControls& c) {
    c.Frame5 = Frame("Frame5", "Options");
    c.Option7 = Option("Option7", "Check existing file on disk");
    c.Option8 = Option("Option8", "Overwrite existing file on disk");
    c.Option9 = Option("Option9", "Append existing file on disk");
    c.Check7 = Check("Check7", "Stay online for the next delivery");
    c.Check8 = Check("Check8", "A new file for each delivery");
    c.Check9 = Check("Check9", "Also save a spreadsheet (.xlsx)");
    c.Check10 = Check("Check10", "Skip records delivered before");
    // The delivery options beside the existing-file choice rather than under it: the frame
    // keeps the height of the file terminator frame, and the window fits a 768-pixel screen.
    auto* grid = new QGridLayout(c.Frame5);
    grid->addWidget(c.Option7, 0, 0);
    grid->addWidget(c.Option8, 1, 0);
    grid->addWidget(c.Option9, 2, 0);
    grid->addWidget(c.Check7, 0, 1);
    grid->addWidget(c.Check8, 1, 1);
    grid->addWidget(c.Check9, 2, 1);
    grid->addWidget(c.Check10, 3, 1);
    grid->setColumnStretch(1, 1);
    grid->setRowStretch(4, 1);
    c.ExistingFileGroup = Group(window, {c.Option7, c.Option8, c.Option9});

    // Kept in the frame for their values only: the user neither sees nor changes them.
    c.Check2 = Check("Check2", "Delete PDT memory on Exit");
    c.Check5 = Check("Check5", "Splash screen");
    c.Label7 = Caption("Label7", "Com Port");
    c.Combo8 = List("Combo8", kLengthListWidth);
    c.Label9 = Caption("Label9", "BAUD Rate");
    c.Combo10 = List("Combo10", kLengthListWidth);
    for (QWidget* hidden :
         std::initializer_list<QWidget*>{c.Check2, c.Check5, c.Label7, c.Combo8, c.Label9, c.Combo10}) {
        hidden->setParent(c.Frame5);
        hidden->hide();
    }
    for (QWidget* unusable : std::initializer_list<QWidget*>{c.Check2, c.Check5, c.Label7, c.Combo8}) {
        unusable->setEnabled(false);
    }
}

void BuildButtons(Form12aControls& c, QHBoxLayout* row) {
    c.Command1 = Button("Command1", "Reset Default");
    c.Command2 = Button("Command2", "Save Parameters");
    c.Command6 = Button("Command6", "About");
    c.Command3 = Button("Command3", "Exit");
    for (QPushButton* button : {c.Command1, c.Command2, c.Command6, c.Command3}) {
        // Enter presses the button that has the focus, as Space does; the window has no
        // default button, so Enter in a text box or list presses nothing.
        button->setAutoDefault(true);
        button->setMinimumWidth(110);
    }
    // In the gap the buttons leave, so none of them moves.
    c.PreviewToggle = Check("PreviewToggle", "Preview");
    c.PreviewToggle->setAccessibleDescription(
        QStringLiteral("Shows what polling would write with these settings"));
    row->addWidget(c.Command1);
    row->addWidget(c.Command2);
    row->addStretch(1);
    row->addWidget(c.PreviewToggle);
    row->addStretch(1);
    row->addWidget(c.Command6);
    row->addWidget(c.Command3);
}

// The state stored with the window, before any start-up code runs.
void SetDesignState(Form12aControls& c) {
    c.Option5->setChecked(true);
    c.Option6->setChecked(true);
    c.Option8->setChecked(true);
    c.Text2->setEnabled(false);
    for (QComboBox* list : {c.Combo1, c.Combo7, c.Combo9, c.Combo11, c.Combo12, c.Combo13, c.Combo14}) {
        list->setEnabled(false);
    }
    for (QRadioButton* side : {c.Option10, c.Option11, c.Option12, c.Option13}) side->setEnabled(false);
}

}  // namespace

PreviewPlaces BuildForm12a(QWidget* window, Form12aControls& c) {
    window->setStyleSheet(QString::fromLatin1(kStyle));

    c.Picture1 = Named(new QLabel, "Picture1");
    c.Picture1->setPixmap(QPixmap(QStringLiteral(":/wizard/form12a_picture.jpg")));
    c.Picture1->setAlignment(Qt::AlignCenter);

    BuildOutputFrame(c);
    BuildFileHeaderFrame(window, c);
    BuildSeparatorFrame(c);
    BuildFixedLengthFrame(window, c);
    BuildFileTerminatorFrame(window, c);
    BuildOptionsFrame(window, c);

    auto* sides = new QHBoxLayout(window);
    sides->setContentsMargins(8, 8, 8, 8);
    auto* page = new QVBoxLayout;
    sides->addLayout(page);
    page->addWidget(c.Picture1);
    page->addWidget(c.Frame1);
    auto* middle = new QGridLayout;
    middle->addWidget(c.Frame2, 0, 0);
    middle->addWidget(c.Frame3, 0, 1);
    middle->addWidget(c.Frame6, 1, 0, 1, 2);
    middle->addWidget(c.Frame4, 2, 0);
    middle->addWidget(c.Frame5, 2, 1);
    middle->setColumnStretch(0, 1);
    middle->setColumnStretch(1, 1);
    page->addLayout(middle);
    page->addSpacing(4);
    auto* buttons = new QHBoxLayout;
    BuildButtons(c, buttons);
    page->addLayout(buttons);
    c.Preview = new PreviewFrame;
    page->addWidget(c.Preview);

    SetDesignState(c);
    SetTabOrder(ReadingOrder(c));
    for (QButtonGroup* group : {c.FileHeaderGroup, c.FileTerminatorGroup, c.ExistingFileGroup,
                                c.BarcodeSideGroup, c.QuantitySideGroup}) {
        TabToChosenOption(group);
    }
    DescribeForAssistiveTechnology(c);
    return {sides, page};
}

}  // namespace tallivo
