#pragma once

#include <QDialog>

class QLabel;
class QPushButton;

namespace tallivo {

// The About window (`cards`): a picture, four fixed lines and "Quit". Shown modally.
class Cards : public QDialog {
    Q_OBJECT

  public:
    explicit Cards(QWidget* parent = nullptr);
};

}  // namespace tallivo
