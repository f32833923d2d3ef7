#include "wizard/preview_placement.h"

#include <QBoxLayout>
#include <QCheckBox>
#include <QDialog>
#include <QLayout>

#include "uikit/screen_fit.h"
#include "wizard/form12a_access.h"
#include "wizard/form12a_controls.h"
#include "wizard/preview_frame.h"

namespace tallivo {

PreviewPlacement::PreviewPlacement(QWidget* window, QBoxLayout* beside, QBoxLayout* underButtons,
                                   const Form12aControls& controls)
    : QObject(window), window_(window), beside_(beside), underButtons_(underButtons), controls_(controls) {
    connect(controls_.PreviewToggle, &QCheckBox::toggled, this, &PreviewPlacement::ShowFolded);
}

void PreviewPlacement::Arrange() {
    PreviewFrame* preview = controls_.Preview;
    QCheckBox* toggle = controls_.PreviewToggle;
    // Tried in place: the window's size hint then says whether it fits.
    underButtons_->removeWidget(preview);
    beside_->addWidget(preview, 0, Qt::AlignTop);
    preview->show();
    toggle->hide();
    if (FitsOnScreen(window_, window_->sizeHint())) {
        place_ = Place::Beside;
    } else {
        beside_->removeWidget(preview);
        underButtons_->addWidget(preview);
        toggle->show();
        place_ = FitsOnScreen(window_, window_->sizeHint()) ? Place::UnderButtons : Place::OwnWindow;
        // Shown at once where there is room for it, as it always was; a window of its own
        // only when asked for.
        preview->setVisible(place_ == Place::UnderButtons);
        toggle->setChecked(place_ == Place::UnderButtons);
    }
    FitWindow();
    SetTabOrder(ReadingOrder(controls_));
}

void PreviewPlacement::ShowFolded(bool shown) {
    if (place_ == Place::UnderButtons) {
        controls_.Preview->setVisible(shown);
        FitWindow();
        return;
    }
    if (place_ != Place::OwnWindow) return;
    if (!shown) {
        if (ownWindow_ != nullptr) ownWindow_->hide();
        return;
    }
    if (ownWindow_ == nullptr) MoveToOwnWindow();
    controls_.Preview->show();
    // As wide as the form, so the preview shows as much as it did under it; laid over the
    // picture and the output frame, which the preview does not depend on.
    ownWindow_->resize(window_->width(), ownWindow_->sizeHint().height());
    MoveInsideScreen(ownWindow_, window_->geometry().topLeft());
    ownWindow_->show();
    ownWindow_->activateWindow();
}

void PreviewPlacement::FitWindow() {
    window_->layout()->activate();
    window_->resize(window_->sizeHint());
    if (window_->isVisible()) MoveInsideScreen(window_, window_->pos());
}

void PreviewPlacement::MoveToOwnWindow() {
    ownWindow_ = new QDialog(window_);
    ownWindow_->setObjectName(QStringLiteral("PreviewWindow"));
    ownWindow_->setWindowTitle(QStringLiteral("Preview"));
    auto* layout = new QVBoxLayout(ownWindow_);
    layout->setContentsMargins(8, 8, 8, 8);
    layout->addWidget(controls_.Preview);
    // Closed by its title bar or Esc: the check box tells it is folded again.
    connect(ownWindow_, &QDialog::finished, controls_.PreviewToggle,
            [this] { controls_.PreviewToggle->setChecked(false); });
    SetTabOrder(ReadingOrder(controls_));
}

}  // namespace tallivo
