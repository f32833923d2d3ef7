#include "wizard/form12a.h"

#include <QApplication>
#include <QIcon>
#include <QPushButton>

#include "uikit/message_box.h"
#include "uikit/screen_fit.h"
#include "wizard/cards.h"
#include "wizard/form12a_layout.h"
#include "wizard/interlocks.h"
#include "wizard/preview_frame.h"
#include "wizard/preview_placement.h"
#include "wizard/wizard_resources.h"

namespace tallivo {

Form12a::Form12a(std::vector<std::filesystem::path> configPlaces, QWidget* parent)
    : QWidget(parent), configPlaces_(std::move(configPlaces)) {
    LoadWizardResources();
    setObjectName(QStringLiteral("Form12a"));
    setWindowTitle(QStringLiteral("Velmora PDA Output file wizard (V. 3.0)"));
    QIcon icon;
    icon.addFile(QStringLiteral(":/wizard/icon-16.png"));
    icon.addFile(QStringLiteral(":/wizard/icon-32.png"));
    setWindowIcon(icon);

    const PreviewPlaces places = BuildForm12a(this, controls_);
    previewPlacement_ = new PreviewPlacement(this, places.beside, places.underButtons, controls_);
    ConnectInterlocks(controls_);
    // After the rules, so a refresh sees the controls they have just set.
    controls_.Preview->setSettingsSource([this] { return PreviewSettings(); });
    controls_.Preview->watch(controls_);

    connect(controls_.Command1, &QPushButton::clicked, this, &Form12a::Command1Click);
    connect(controls_.Command2, &QPushButton::clicked, this, &Form12a::SaveParameters);
    connect(controls_.Command6, &QPushButton::clicked, this, &Form12a::Command6Click);
    connect(controls_.Command3, &QPushButton::clicked, this, &Form12a::Command3Click);
}

void Form12a::Start() {
    InitControls();
    if (!LoadConfiguration()) {
        MessageBox::inform(this, QStringLiteral("Missing or corrupted config file, importing default values"),
                           QString::fromLatin1(kWizardTitle));
        ResetDefaults();
    }
}

void Form12a::setVisible(bool visible) {
    if (visible && !placed_) {
        placed_ = true;
        // Sizes are only final once the style sheet has been applied.
        ensurePolished();
        previewPlacement_->Arrange();
        CentreOnScreen(this);
    }
    QWidget::setVisible(visible);
}

void Form12a::Command1Click() {
    if (MessageBox::askYesNo(this, QStringLiteral("Reset all parameters ?"),
                             QString::fromLatin1(kWizardTitle))) {
        ResetDefaults();
    }
}

void Form12a::Command3Click() {
    close();
    QCoreApplication::quit();
}

void Form12a::Command6Click() {
    // Created afresh for each showing and released when it closes.
    Cards about(this);
    about.exec();
}

void Form12a::FocusOn(QWidget* control) {
    lastFocusRequest_ = control;
    control->setFocus(Qt::OtherFocusReason);
}

}  // namespace tallivo
