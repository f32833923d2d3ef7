#pragma once

#include <gtest/gtest.h>

#include <QString>
#include <QTemporaryDir>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "common/settings.h"
#include "support/test_files.h"
#include "uikit/message_box.h"
#include "wizard/form12a.h"

// Readable failure messages for texts.
inline void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}

namespace tallivo::testing {

// Every value-holding control: its value and whether it is enabled.
using FormSnapshot = std::map<QString, QString>;

// Each test runs in its own folder, which is also the current folder (the file name the
// path check creates is relative to it), with the four configuration places inside it.
class WizardTest : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;

    // A window after its start-up sequence.
    std::unique_ptr<Form12a> StartWizard();
    // The window's value (combo or text box text, "0"/"1"/"2" for a check or option).
    static QString Value(const Form12a& window, const char* name);
    static bool Enabled(const Form12a& window, const char* name);
    static FormSnapshot Snapshot(const Form12a& window);
    // "Save Parameters" clicked with the confirmation answered `answer`.
    static void ClickSave(Form12a& window, MessageBox::Answer answer = MessageBox::Answer::Yes);
    static std::vector<QString> ShownTexts();

    static std::string ReadBytes(const std::filesystem::path& path);
    static void WriteBytes(const std::filesystem::path& path, std::string_view bytes);
    // A configuration file holding `settings`, written to the first place.
    void WriteConfiguration(const Settings& settings);

    std::filesystem::path root_;
    std::vector<std::filesystem::path> places_;

  private:
    std::unique_ptr<QTemporaryDir> folder_;
    std::filesystem::path previousCurrent_;
};

// In a process that a window test started on a screen of its choosing: opens the window, unfolds
// its preview and prints what it saw, a line of facts and a line of where the form's frames
// and buttons lay.
int ReportWindowOnScreen();

}  // namespace tallivo::testing
