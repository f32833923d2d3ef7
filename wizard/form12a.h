#pragma once

#include <QWidget>
#include <filesystem>
#include <vector>

#include "common/settings.h"
#include "wizard/form12a_controls.h"

namespace tallivo {

class PreviewPlacement;

// The wizard's main window. Its controls are the settings: loading and resetting write
// into them, saving reads them at that moment; nothing is cached elsewhere.
class Form12a : public QWidget {
    Q_OBJECT

  public:
    // `configPlaces`: where the configuration file lives, the current folder first.
    explicit Form12a(std::vector<std::filesystem::path> configPlaces, QWidget* parent = nullptr);

    // The window load: lists filled, configuration loaded or defaults taken after a message.
    void Start();

    void InitControls();
    // true only when every value was read and put into its control.
    bool LoadConfiguration();
    void ResetDefaults();
    void SaveParameters();
    // true when the file name may be used; otherwise the user has been told.
    bool ValidateOutputPath();

    // The settings a save would write from the form as it stands, without its questions,
    // checks or clean-ups changing anything (the preview's source).
    Settings PreviewSettings() const;

    const Form12aControls& controls() const { return controls_; }
    const PreviewPlacement& previewPlacement() const { return *previewPlacement_; }

    // The first showing places the preview for the screen and opens the window, frame and
    // all, centred inside the screen's usable area.
    void setVisible(bool visible) override;
    // The control a routine last sent the focus to (the focus itself needs a shown window).
    QWidget* lastFocusRequest() const { return lastFocusRequest_; }

  private:
    void Command1Click();
    void Command3Click();
    void Command6Click();

    void FocusOn(QWidget* control);
    // The value of a file header or terminator group; false (after telling the user and
    // moving the focus) when the chosen mode has nothing to store.
    bool ReadModeGroup(QRadioButton* characterOption, QRadioButton* stringOption, QComboBox* list,
                       QLineEdit* text, std::string& mode, std::string& value);
    // false (after telling the user) when a text box holds what the file cannot store.
    bool RefuseUnstorableText();
    void CleanUpFixedLength();
    Settings SettingsFromControls(const std::string& fileHeaderMode, const std::string& fileHeaderValue,
                                  const std::string& fileTerminatorMode,
                                  const std::string& fileTerminatorValue) const;

    Form12aControls controls_;
    std::vector<std::filesystem::path> configPlaces_;
    QWidget* lastFocusRequest_ = nullptr;
    PreviewPlacement* previewPlacement_ = nullptr;
    bool placed_ = false;
};

// Title of every message box of the wizard.
inline constexpr const char* kWizardTitle = "DOWNLOAD WIZARD";

}  // namespace tallivo
