// "Save Parameters": confirm, check the form, tidy the fixed-length boxes and the folder,
// and write the configuration file to every place.

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QRadioButton>

#include "common/code_page.h"
#include "common/config_file.h"
#include "common/delivery_options.h"
#include "common/hand_over_names.h"
#include "uikit/code_page_text.h"
#include "uikit/message_box.h"
#include "wizard/check_value.h"
#include "wizard/form12a.h"
#include "wizard/output_path_check.h"

namespace tallivo {

namespace {

constexpr int kNoneItem = 0;

QString Title() {
    return QString::fromLatin1(kWizardTitle);
}

std::string Bytes(const QString& text) {
    return BytesOrQuestionMarks(text);
}

// Only blanks count: the folder is stored exactly as typed otherwise.
QString TrimBlanks(const QString& text) {
    qsizetype first = 0;
    qsizetype last = text.size();
    while (first < last && text.at(first) == QLatin1Char(' ')) ++first;
    while (last > first && text.at(last - 1) == QLatin1Char(' ')) --last;
    return text.mid(first, last - first);
}

QString DisplayPath(const std::filesystem::path& path) {
    return QString::fromStdU16String(path.generic_u16string());
}

}  // namespace

bool Form12a::ValidateOutputPath() {
    const std::filesystem::path name = PathFromBytes(Bytes(controls_.Text1->text()));
    if (CheckOutputPath(name) == OutputPathCheck::Usable) return true;
    MessageBox::inform(this, QStringLiteral("Invalid path or file name"), Title());
    return false;
}

bool Form12a::ReadModeGroup(QRadioButton* characterOption, QRadioButton* stringOption, QComboBox* list,
                            QLineEdit* text, std::string& mode, std::string& value) {
    mode = "0";
    value.clear();
    if (stringOption->isChecked()) {
        if (text->text().isEmpty()) {
            MessageBox::inform(this, QStringLiteral("String is empty !"), Title());
            FocusOn(text);
            return false;
        }
        mode = "2";
        value = Bytes(text->text());
    } else if (characterOption->isChecked()) {
        if (list->currentIndex() == kNoneItem) {
            MessageBox::inform(this, QStringLiteral("No character selected!"), Title());
            FocusOn(list);
            return false;
        }
        mode = "1";
        value = Bytes(list->currentText());
    }
    return true;
}

bool Form12a::RefuseUnstorableText() {
    const Form12aControls& c = controls_;
    const std::pair<QLineEdit*, const char*> fields[] = {
        {c.Text4, "Folder"},
        {c.Text1, "File name"},
        {c.Text2, "File header string"},
        {c.Text3, "File terminator string"},
    };
    for (const auto& [box, field] : fields) {
        if (!box->text().contains(QLatin1Char('"'))) continue;
        MessageBox::inform(this,
                           QStringLiteral("%1: the double quote (\") cannot be stored in the configuration "
                                          "file. Please remove it and save again.")
                               .arg(QString::fromLatin1(field)),
                           Title());
        FocusOn(box);
        return true;
    }
    return false;
}

void Form12a::CleanUpFixedLength() {
    const Form12aControls& c = controls_;
    // A fixed length is kept on only with both its length and its filler chosen.
    const std::pair<QComboBox*, QCheckBox*> pairs[] = {
        {c.Combo14, c.Check3}, {c.Combo13, c.Check4}, {c.Combo9, c.Check3}, {c.Combo12, c.Check4}};
    for (const auto& [list, box] : pairs) {
        if (list->currentIndex() == kNoneItem && box->checkState() == Qt::Checked) {
            box->setCheckState(Qt::Unchecked);
            update();
        }
    }
}

Settings Form12a::SettingsFromControls(const std::string& fileHeaderMode, const std::string& fileHeaderValue,
                                       const std::string& fileTerminatorMode,
                                       const std::string& fileTerminatorValue) const {
    const Form12aControls& c = controls_;
    Settings s;
    s.OutputFileName = Bytes(c.Text1->text());
    s.FileHeaderMode = fileHeaderMode;
    s.FileHeaderValue = fileHeaderValue;
    s.RecordHeaderChar = Bytes(c.Combo2->currentText());
    s.BarcodeSeparator = Bytes(c.Combo3->currentText());
    s.QuantitySeparator = Bytes(c.Combo4->currentText());
    s.DateSeparator = Bytes(c.Combo5->currentText());
    s.RecordTerminator = Bytes(c.Combo6->currentText());
    s.FileTerminatorMode = fileTerminatorMode;
    s.FileTerminatorValue = fileTerminatorValue;
    s.EndOfFileMessageOn = std::to_string(CheckValue(c.Check1));
    s.EndOfFileMessage = Bytes(c.Combo11->currentText());
    s.ComPort = Bytes(c.Combo8->currentText());
    s.BaudRate = Bytes(c.Combo10->currentText());
    s.ExistingFilePolicy = c.Option8->isChecked() ? "0" : c.Option9->isChecked() ? "2" : "1";
    s.DeleteMemoryOnExit = c.Check2->checkState() == Qt::Checked ? "1" : "0";
    s.BarcodeFixedLength = c.Check3->checkState() == Qt::Checked ? "1" : "0";
    s.QuantityFixedLength = c.Check4->checkState() == Qt::Checked ? "1" : "0";
    s.BarcodeLength = Bytes(c.Combo14->currentText());
    s.BarcodeFiller = Bytes(c.Combo9->currentText());
    s.QuantityLength = Bytes(c.Combo13->currentText());
    s.QuantityFiller = Bytes(c.Combo12->currentText());
    s.BarcodeJustify = c.Option10->isChecked() ? "L" : c.Option11->isChecked() ? "R" : "N";
    s.QuantityJustify = c.Option13->isChecked() ? "L" : c.Option12->isChecked() ? "R" : "N";
    s.SplashScreen = c.Check5->checkState() == Qt::Checked ? "1" : "0";
    s.HideDateTime = std::to_string(CheckValue(c.Check6));
    s.OutputFolder = Bytes(TrimBlanks(c.Text4->text()));
    return s;
}

void Form12a::SaveParameters() {
    const Form12aControls& c = controls_;
    if (!MessageBox::askYesNo(this, QStringLiteral("Save parameters to file ?"), Title())) return;

    if (c.Text1->text().isEmpty()) {
        MessageBox::inform(this, QStringLiteral("File Name is empty !"), Title());
        FocusOn(c.Text1);
        return;
    }
    // Before the path check, which creates the name for a moment: "~1~" would call a delivery.
    if (IsHandOverName(Bytes(c.Text1->text()))) {
        MessageBox::inform(this,
                           QStringLiteral("File name: \"%1\" is a name the terminal's data is handed over "
                                          "under, and the output written there would be lost. Please choose "
                                          "another name and save again.")
                               .arg(c.Text1->text()),
                           Title());
        c.Text1->selectAll();
        FocusOn(c.Text1);
        return;
    }
    if (!ValidateOutputPath()) {
        c.Text1->selectAll();
        FocusOn(c.Text1);
        return;
    }

    std::string headerMode, headerValue, terminatorMode, terminatorValue;
    if (!ReadModeGroup(c.Option1, c.Option2, c.Combo1, c.Text2, headerMode, headerValue)) return;
    if (!ReadModeGroup(c.Option4, c.Option3, c.Combo7, c.Text3, terminatorMode, terminatorValue)) return;
    // Checked before anything on the form is tidied, so a refusal leaves the form as it was.
    if (RefuseUnstorableText()) return;

    CleanUpFixedLength();
    if (TrimBlanks(c.Text4->text()).isEmpty()) c.Text4->setText(QStringLiteral("\\"));

    const Settings settings = SettingsFromControls(headerMode, headerValue, terminatorMode, terminatorValue);
    const DeliveryOptions options{
        c.Check7->checkState() == Qt::Checked, c.Check8->checkState() == Qt::Checked,
        c.Check9->checkState() == Qt::Checked, c.Check10->checkState() == Qt::Checked};
    bool currentFolderWritten = false;
    for (std::size_t place = 0; place < configPlaces_.size(); ++place) {
        // The other places are a courtesy for programs that look there; they stay silent.
        const bool written = WriteConfigurationFile(configPlaces_[place], settings) == WriteOutcome::Written;
        if (place == 0) currentFolderWritten = written;
        // With all off and no file yet, nothing is written that was not written before.
        const std::filesystem::path optionsPlace = DeliveryOptionsPlace(configPlaces_[place]);
        std::error_code error;
        if (options.anyOn() || std::filesystem::exists(optionsPlace, error))
            WriteDeliveryOptions(optionsPlace, options);
    }

    if (!currentFolderWritten) {
        const QString where =
            configPlaces_.empty() ? QStringLiteral("orvwizard.cfg") : DisplayPath(configPlaces_.front());
        MessageBox::inform(
            this,
            QStringLiteral("The configuration file %1 could not be written. Check that its folder "
                           "exists and may be written to.")
                .arg(where),
            Title());
        return;
    }
    MessageBox::inform(this, QStringLiteral("Parameters succesfully written to file"), Title());
}

}  // namespace tallivo
