#pragma once

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace tallivo {

class PreviewFrame;

// Every control of the wizard window under the name it is known by. The controls are the
// wizard's whole data model; routines and rules reach them through this record.
struct Form12aControls {
    QLabel* Picture1 = nullptr;

    QGroupBox* Frame1 = nullptr;
    QGroupBox* Frame2 = nullptr;
    QGroupBox* Frame3 = nullptr;
    QGroupBox* Frame4 = nullptr;
    QGroupBox* Frame5 = nullptr;
    QGroupBox* Frame6 = nullptr;
    QGroupBox* Frame7 = nullptr;
    QGroupBox* Frame8 = nullptr;

    QLabel* Label1 = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* Label3 = nullptr;
    QLabel* Label4 = nullptr;
    QLabel* Label5 = nullptr;
    QLabel* Label6 = nullptr;
    QLabel* Label7 = nullptr;
    QLabel* Label8 = nullptr;
    QLabel* Label9 = nullptr;
    QLabel* Label10 = nullptr;
    QLabel* Label11 = nullptr;
    QLabel* Label12 = nullptr;
    QLabel* Label13 = nullptr;

    QLineEdit* Text1 = nullptr;
    QLineEdit* Text2 = nullptr;
    QLineEdit* Text3 = nullptr;
    QLineEdit* Text4 = nullptr;

    QRadioButton* Option1 = nullptr;
    QRadioButton* Option2 = nullptr;
    QRadioButton* Option3 = nullptr;
    QRadioButton* Option4 = nullptr;
    QRadioButton* Option5 = nullptr;
    QRadioButton* Option6 = nullptr;
    QRadioButton* Option7 = nullptr;
    QRadioButton* Option8 = nullptr;
    QRadioButton* Option9 = nullptr;
    QRadioButton* Option10 = nullptr;
    QRadioButton* Option11 = nullptr;
    QRadioButton* Option12 = nullptr;
    QRadioButton* Option13 = nullptr;

    QCheckBox* Check1 = nullptr;
    QCheckBox* Check2 = nullptr;
    QCheckBox* Check3 = nullptr;
    QCheckBox* Check4 = nullptr;
    QCheckBox* Check5 = nullptr;
    QCheckBox* Check6 = nullptr;
    // Kept in orvwizard.opt, not in the configuration file.
    QCheckBox* Check7 = nullptr;   // "Stay online for the next delivery"
    QCheckBox* Check8 = nullptr;   // "A new file for each delivery"
    QCheckBox* Check9 = nullptr;   // "Also save a spreadsheet (.xlsx)"
    QCheckBox* Check10 = nullptr;  // "Skip records delivered before"

    QComboBox* Combo1 = nullptr;
    QComboBox* Combo2 = nullptr;
    QComboBox* Combo3 = nullptr;
    QComboBox* Combo4 = nullptr;
    QComboBox* Combo5 = nullptr;
    QComboBox* Combo6 = nullptr;
    QComboBox* Combo7 = nullptr;
    QComboBox* Combo8 = nullptr;
    QComboBox* Combo9 = nullptr;
    QComboBox* Combo10 = nullptr;
    QComboBox* Combo11 = nullptr;
    QComboBox* Combo12 = nullptr;
    QComboBox* Combo13 = nullptr;
    QComboBox* Combo14 = nullptr;

    QPushButton* Command1 = nullptr;
    QPushButton* Command2 = nullptr;
    QPushButton* Command3 = nullptr;
    QPushButton* Command6 = nullptr;

    // What polling would write with the settings on the form; holds no setting itself.
    PreviewFrame* Preview = nullptr;
    // "Preview": shows the preview where the screen has no room for it beside the form.
    QCheckBox* PreviewToggle = nullptr;

    // One group per set of options that exclude each other.
    QButtonGroup* FileHeaderGroup = nullptr;      // Option1, Option5, Option2
    QButtonGroup* FileTerminatorGroup = nullptr;  // Option4, Option6, Option3
    QButtonGroup* ExistingFileGroup = nullptr;    // Option7, Option8, Option9
    QButtonGroup* BarcodeSideGroup = nullptr;     // Option10, Option11
    QButtonGroup* QuantitySideGroup = nullptr;    // Option13, Option12
};

}  // namespace tallivo
