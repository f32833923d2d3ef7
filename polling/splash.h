#pragma once

#include <QDialog>
#include <chrono>

class QLabel;
class QTimer;

namespace tallivo {

// Title card shown modally at start-up; it closes only through its own timer.
class Splash : public QDialog {
    Q_OBJECT
  public:
    explicit Splash(std::chrono::milliseconds life, QWidget* parent = nullptr);

    void reject() override;  // Esc must not close it

  protected:
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

  private:
    void Timer1_Timer();

    QLabel* Label1;
    QLabel* Label2;
    QLabel* Label3;
    QTimer* Timer1;
    bool timerFired_ = false;
};

}  // namespace tallivo
