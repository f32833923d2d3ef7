#pragma once

#include <QObject>

class QBoxLayout;
class QDialog;
class QWidget;

namespace tallivo {

struct Form12aControls;

// Where the preview shows, so the window fits its screen while the form itself keeps every
// control where it is: beside the form when the window fits the screen with it there;
// otherwise folded behind the "Preview" check box, which shows it under the buttons when the
// window still fits, else in a small window of its own.
class PreviewPlacement : public QObject {
    Q_OBJECT

  public:
    enum class Place { Beside, UnderButtons, OwnWindow };

    // `beside`: the window's row that holds the form; `underButtons`: the form's column.
    PreviewPlacement(QWidget* window, QBoxLayout* beside, QBoxLayout* underButtons,
                     const Form12aControls& controls);

    // Chooses the place for the window's screen and sizes the window; before it is shown.
    void Arrange();

    Place place() const { return place_; }
    // The preview's own window, once it has been shown there.
    QDialog* ownWindow() const { return ownWindow_; }

  private:
    void ShowFolded(bool shown);
    void FitWindow();
    void MoveToOwnWindow();

    QWidget* window_;
    QBoxLayout* beside_;
    QBoxLayout* underButtons_;
    const Form12aControls& controls_;
    Place place_ = Place::UnderButtons;
    QDialog* ownWindow_ = nullptr;
};

}  // namespace tallivo
