#include "wizard_fixture.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <fstream>
#include <iostream>
#include <iterator>
#include <sstream>

#include "common/config_file.h"
#include "uikit/screen_fit.h"
#include "wizard/preview_frame.h"
#include "wizard/preview_placement.h"

namespace tallivo::testing {

void WizardTest::SetUp() {
    MessageBox::reset();
    // Nothing may ever wait for a person: unqueued questions are answered No.
    MessageBox::setAutoAnswer(true, MessageBox::Answer::No);
    folder_ = std::make_unique<QTemporaryDir>();
    ASSERT_TRUE(folder_->isValid());
    root_ = std::filesystem::path(folder_->path().toStdString());
    previousCurrent_ = std::filesystem::current_path();
    std::filesystem::create_directories(root_ / "work");
    std::filesystem::current_path(root_ / "work");
    places_ = {root_ / "work" / "orvwizard.cfg", root_ / "second" / "orvwizard.cfg",
               root_ / "third" / "orvwizard.cfg", root_ / "fourth" / "orvwizard.cfg"};
    for (std::size_t i = 1; i < places_.size(); ++i)
        std::filesystem::create_directories(places_[i].parent_path());
}

void WizardTest::TearDown() {
    std::filesystem::current_path(previousCurrent_);
    folder_.reset();
    MessageBox::reset();
}

std::unique_ptr<Form12a> WizardTest::StartWizard() {
    auto window = std::make_unique<Form12a>(places_);
    window->Start();
    return window;
}

QString WizardTest::Value(const Form12a& window, const char* name) {
    QWidget* widget = window.findChild<QWidget*>(QString::fromLatin1(name));
    if (widget == nullptr) return QStringLiteral("<missing %1>").arg(QString::fromLatin1(name));
    if (auto* list = qobject_cast<QComboBox*>(widget)) return list->currentText();
    if (auto* text = qobject_cast<QLineEdit*>(widget)) return text->text();
    if (auto* box = qobject_cast<QCheckBox*>(widget)) {
        return QString::number(box->checkState() == Qt::Checked            ? 1
                               : box->checkState() == Qt::PartiallyChecked ? 2
                                                                           : 0);
    }
    if (auto* option = qobject_cast<QRadioButton*>(widget)) return QString::number(option->isChecked());
    return QStringLiteral("<no value>");
}

bool WizardTest::Enabled(const Form12a& window, const char* name) {
    QWidget* widget = window.findChild<QWidget*>(QString::fromLatin1(name));
    return widget != nullptr && widget->isEnabled();
}

FormSnapshot WizardTest::Snapshot(const Form12a& window) {
    FormSnapshot snapshot;
    for (QWidget* widget : window.findChildren<QWidget*>()) {
        const bool holdsValue = qobject_cast<QComboBox*>(widget) || qobject_cast<QLineEdit*>(widget) ||
                                qobject_cast<QCheckBox*>(widget) || qobject_cast<QRadioButton*>(widget);
        if (!holdsValue || widget->objectName().isEmpty()) continue;
        const QByteArray name = widget->objectName().toLatin1();
        snapshot[widget->objectName()] =
            Value(window, name.constData()) +
            (widget->isEnabled() ? QStringLiteral(" enabled") : QStringLiteral(" disabled"));
    }
    return snapshot;
}

void WizardTest::ClickSave(Form12a& window, MessageBox::Answer answer) {
    MessageBox::setNextAnswer(answer);
    window.controls().Command2->click();
}

std::vector<QString> WizardTest::ShownTexts() {
    std::vector<QString> texts;
    for (const MessageBox::Shown& shown : MessageBox::shown()) texts.push_back(shown.text);
    return texts;
}

std::string WizardTest::ReadBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WizardTest::WriteBytes(const std::filesystem::path& path, std::string_view bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

void WizardTest::WriteConfiguration(const Settings& settings) {
    ASSERT_EQ(WriteConfigurationFile(places_.front(), settings), WriteOutcome::Written);
}

int ReportWindowOnScreen() {
    QTemporaryDir scratch;
    MessageBox::setAutoAnswer(true, MessageBox::Answer::Yes);
    Form12a window({std::filesystem::path(scratch.path().toStdString()) / "orvwizard.cfg"});
    window.Start();
    window.show();
    const Form12aControls& c = window.controls();
    const QRect area = UsableArea(&window);
    // The frame a window manager draws at the window's place; where the platform has none,
    // the window reckons with one all the same.
    const auto inside = [&area](QWidget* shown) {
        return area.contains(QRect(shown->pos(), shown->size().grownBy(ExpectedFrame(shown))));
    };
    const auto form = [&] {
        std::ostringstream places;
        for (QWidget* w :
             std::initializer_list<QWidget*>{c.Picture1, c.Frame1, c.Frame2, c.Frame3, c.Frame4, c.Frame5,
                                             c.Frame6, c.Command1, c.Command2, c.Command6, c.Command3}) {
            const QPoint at = w->mapTo(&window, QPoint(0, 0));
            places << at.x() << ',' << at.y() << ' ' << w->width() << 'x' << w->height() << "; ";
        }
        return places.str();
    };
    const std::string opened = form();
    const QPoint offCentre =
        QRect(window.pos(), window.size().grownBy(ExpectedFrame(&window))).center() - area.center();
    const bool openedInside = inside(&window);
    c.PreviewToggle->setChecked(false);
    c.PreviewToggle->setChecked(true);
    c.Combo3->setCurrentIndex(10);  // 9, TAB
    QApplication::processEvents();
    std::cout << "usable " << area.width() << "x" << area.height() << " place "
              << static_cast<int>(window.previewPlacement().place()) << " opened inside " << openedInside
              << " centred " << (offCentre.manhattanLength() <= 2) << " unfolded inside "
              << (inside(&window) && inside(c.Preview->window())) << " preview shown "
              << c.Preview->isVisible() << " follows "
              << c.Preview->display()->accessibleDescription().contains(QStringLiteral("4006381333931[TAB]"))
              << " form kept " << (form() == opened) << "\n"
              << opened << std::endl;
    return 0;
}

}  // namespace tallivo::testing
