#pragma once

#include <QWidget>
#include <optional>

#include "polling/ending.h"
#include "polling/run_sequence.h"
#include "polling/status_view.h"

class QGroupBox;
class QLabel;
class QProgressBar;
class QTimer;

namespace tallivo {

// The status window: it runs the conversion and shows where it stands. Esc ends the run
// in any state.
class ScaricoS : public QWidget, public StatusView {
    Q_OBJECT
  public:
    explicit ScaricoS(RunOptions options = {}, QWidget* parent = nullptr);
    ~ScaricoS() override;

    // Start-up while loading: when the run goes on, the window shows and the start timer
    // is armed; otherwise ending() is set and ended() emitted.
    void start();
    std::optional<Ending> ending() const { return ending_; }

    // StatusView
    void showWaiting() override;
    void showOffLine() override;
    void showOnLine() override;
    void showPhase(std::string_view text) override;
    void showByteCount(std::uint64_t bytes) override;
    void showRecord(std::string_view record) override;
    void showProgress(std::uint64_t value, std::uint64_t maximum) override;
    void showSplash(std::chrono::milliseconds life) override;
    void showDeliveries(int converted, std::string_view lastOutputName,
                        std::optional<std::string_view> lastWorkbookName,
                        std::optional<std::string_view> lastRepeated) override;
    void processEvents() override;
    QWidget* dialogParent() override { return this; }

  signals:
    void ended(tallivo::Ending ending);

  protected:
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

  private:
    void Timer2_Timer();
    void centreOnScreen();
    void finish(Ending ending);
    void cancel();

    RunSequence run_;
    std::chrono::milliseconds startDelay_;
    bool converting_ = false;
    std::optional<Ending> ending_;

    QLabel* Picture1;
    QGroupBox* Frame1;
    QLabel* Label1;
    QLabel* Label2;
    QGroupBox* Frame2;
    QLabel* Label3;
    QGroupBox* Frame3;
    QLabel* Label4;
    QProgressBar* PB1;
    QGroupBox* Frame4;
    QLabel* Label5;
    QGroupBox* Frame5;
    QLabel* Label6;
    QTimer* Timer2;
};

}  // namespace tallivo
