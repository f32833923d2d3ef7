#include "wizard_fixture.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QJsonDocument>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <fstream>
#include <iterator>

#include "common/config_file.h"
#include "uikit/screen_fit.h"
#include "wizard/preview_frame.h"
#include "wizard/preview_placement.h"

namespace tallivo::testing {

namespace {

// The frame as a window manager draws it at the window's place: where the platform has no
// frame, the window reckons with one all the same.
QRect OuterFrame(QWidget* window) {
    return {window->pos(), window->size().grownBy(ExpectedFrame(window))};
}

}  // namespace

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

QJsonArray Json(const QRect& rect) {
    return {rect.x(), rect.y(), rect.width(), rect.height()};
}

QRect Rect(const QJsonValue& value) {
    const QJsonArray a = value.toArray();
    return {a[0].toInt(), a[1].toInt(), a[2].toInt(), a[3].toInt()};
}

QString FormLayout(const Form12a& window) {
    QStringList places;
    const Form12aControls& c = window.controls();
    for (QWidget* control :
         std::initializer_list<QWidget*>{c.Picture1, c.Frame1, c.Frame2, c.Frame3, c.Frame4, c.Frame5,
                                         c.Frame6, c.Command1, c.Command2, c.Command6, c.Command3}) {
        const QRect place(control->mapTo(&window, QPoint(0, 0)), control->size());
        places << QStringLiteral("%1 %2,%3 %4x%5")
                      .arg(control->objectName())
                      .arg(place.x())
                      .arg(place.y())
                      .arg(place.width())
                      .arg(place.height());
    }
    return places.join(QStringLiteral("; "));
}

int ReportWindowOnScreen(const QString& reportPath) {
    QTemporaryDir scratch;
    MessageBox::setAutoAnswer(true, MessageBox::Answer::Yes);
    Form12a window({std::filesystem::path(scratch.path().toStdString()) / "orvwizard.cfg"});
    window.Start();
    window.show();
    if (!QTest::qWaitForWindowExposed(&window)) return 1;
    QJsonObject report{{"area", Json(UsableArea(&window))},
                       {"place", static_cast<int>(window.previewPlacement().place())},
                       {"opened", Json(OuterFrame(&window))},
                       {"form", FormLayout(window)}};
    const Form12aControls& c = window.controls();
    if (c.PreviewToggle->isVisible()) {
        c.PreviewToggle->setChecked(false);
        c.PreviewToggle->setChecked(true);
    }
    QTest::qWait(50);
    c.Combo3->setCurrentIndex(10);  // 9, TAB
    report["unfolded"] = Json(OuterFrame(&window));
    report["formUnfolded"] = FormLayout(window);
    report["previewShown"] = c.Preview->isVisible();
    report["previewWindow"] = Json(OuterFrame(c.Preview->window()));
    report["previewRecord"] = c.Preview->display()->accessibleDescription();
    QFile out(reportPath);
    return out.open(QIODevice::WriteOnly) && out.write(QJsonDocument(report).toJson()) > 0 ? 0 : 1;
}

}  // namespace tallivo::testing
