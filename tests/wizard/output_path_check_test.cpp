#include "wizard/output_path_check.h"

#include <QLineEdit>

#include "wizard_fixture.h"

namespace tallivo::testing {
namespace {

using OutputPathCheckTest = WizardTest;

TEST_F(OutputPathCheckTest, AnswersByWhetherTheNameCanBeFound) {
    std::filesystem::create_directories(root_ / "folder");
    WriteBytes(root_ / "plain-file", "x");
    const struct {
        const char* description;
        std::filesystem::path name;
        OutputPathCheck expected;
    } cases[] = {
        {"new name in an existing folder", root_ / "folder" / "OUT.TXT", OutputPathCheck::Usable},
        {"new name relative to the current folder", "RELATIVE.TXT", OutputPathCheck::Usable},
        {"missing folder", root_ / "missing" / "OUT.TXT", OutputPathCheck::InvalidPath},
        {"a file used as a folder", root_ / "plain-file" / "OUT.TXT", OutputPathCheck::InvalidPath},
        {"a folder of that name (refused, not reported)", root_ / "folder", OutputPathCheck::Usable},
    };
    for (const auto& [description, name, expected] : cases) {
        SCOPED_TRACE(description);
        EXPECT_EQ(CheckOutputPath(name), expected);
        if (expected == OutputPathCheck::Usable && !std::filesystem::is_directory(name)) {
            EXPECT_FALSE(std::filesystem::exists(name)) << "the check leaves nothing behind";
        }
    }
}

TEST_F(OutputPathCheckTest, AnExistingFileKeepsItsContent) {
    const auto existing = root_ / "work" / "OUTPUT.TXT";
    WriteBytes(existing, "records already converted\r\n");
    const auto window = StartWizard();
    MessageBox::clearShown();
    EXPECT_TRUE(window->ValidateOutputPath());
    EXPECT_EQ(ReadBytes(existing), "records already converted\r\n");

    ClickSave(*window);
    EXPECT_EQ(ReadBytes(existing), "records already converted\r\n");
}

TEST_F(OutputPathCheckTest, InvalidPathIsToldOnce) {
    const auto window = StartWizard();
    window->controls().Text1->setText(QString::fromStdString((root_ / "missing" / "OUT.TXT").string()));
    MessageBox::clearShown();
    EXPECT_FALSE(window->ValidateOutputPath());
    ASSERT_EQ(MessageBox::shown().size(), 1u);
    EXPECT_EQ(MessageBox::shown()[0].text, QStringLiteral("Invalid path or file name"));
    EXPECT_EQ(MessageBox::shown()[0].title, QStringLiteral("DOWNLOAD WIZARD"));
}

}  // namespace
}  // namespace tallivo::testing
