#include "wizard/output_path_check.h"

#include <QLineEdit>
#include <cstdio>
#include <optional>

#include "support/ordinary_account.h"
#include "wizard_fixture.h"

namespace tallivo::testing {
namespace {

using OutputPathCheckTest = WizardTest;

TEST_F(OutputPathCheckTest, AnswersByWhetherTheNameCanBeFound) {
    namespace fs = std::filesystem;
    fs::create_directories(root_ / "folder");
    WriteBytes(root_ / "plain-file", "x");
    fs::create_directories(root_ / "read-only");
    WriteBytes(root_ / "read-only" / "EXISTING.TXT", "kept");
    fs::permissions(root_ / "read-only", fs::perms::owner_read | fs::perms::owner_exec |
                                             fs::perms::group_read | fs::perms::group_exec |
                                             fs::perms::others_read | fs::perms::others_exec);
    struct Restore {
        fs::path path;
        ~Restore() { fs::permissions(path, fs::perms::owner_all, fs::perm_options::add); }
    } restore{root_ / "read-only"};
    const struct {
        const char* description;
        fs::path name;
        OutputPathCheck expected;
        bool ordinaryAccount;  // root may create files anywhere
    } cases[] = {
        {"new name in an existing folder", root_ / "folder" / "OUT.TXT", OutputPathCheck::Usable, false},
        {"new name relative to the current folder", "RELATIVE.TXT", OutputPathCheck::Usable, false},
        {"missing folder", root_ / "missing" / "OUT.TXT", OutputPathCheck::InvalidPath, false},
        {"a file used as a folder", root_ / "plain-file" / "OUT.TXT", OutputPathCheck::InvalidPath, false},
        {"a folder of that name", root_ / "folder", OutputPathCheck::InvalidPath, false},
        {"new name in a folder that may not be written (access denied)", root_ / "read-only" / "OUT.TXT",
         OutputPathCheck::InvalidPath, true},
        {"existing file in such a folder (left to the conversion)", root_ / "read-only" / "EXISTING.TXT",
         OutputPathCheck::Usable, true},
    };
    for (const auto& [description, name, expected, ordinaryAccount] : cases) {
        SCOPED_TRACE(description);
        std::optional<ActAsOrdinaryAccount> ordinary;
        if (ordinaryAccount) ordinary.emplace(root_);
        if (ordinaryAccount && expected == OutputPathCheck::InvalidPath) {
            if (std::FILE* probe = std::fopen(name.string().c_str(), "wbx")) {
                std::fclose(probe);
                fs::remove(name);
                GTEST_SKIP()
                    << "this account may write a read-only folder, so access denied cannot happen here";
            }
        }
        const bool existed = fs::exists(fs::symlink_status(name));
        EXPECT_EQ(CheckOutputPath(name), expected);
        if (!existed) {
            EXPECT_FALSE(fs::exists(fs::symlink_status(name))) << "the check leaves nothing behind";
        }
    }
    EXPECT_EQ(ReadBytes(root_ / "read-only" / "EXISTING.TXT"), "kept");
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
