#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string_view>

class QWidget;

namespace tallivo {

// What the run sequence may change on the status window. Texts are bytes; the window
// turns them into display text.
class StatusView {
  public:
    virtual ~StatusView() = default;
    virtual void showWaiting() = 0;
    virtual void showOffLine() = 0;
    virtual void showOnLine() = 0;
    virtual void showPhase(std::string_view text) = 0;
    virtual void showByteCount(std::uint64_t bytes) = 0;
    virtual void showRecord(std::string_view record) = 0;
    virtual void showProgress(std::uint64_t value, std::uint64_t maximum) = 0;
    // Modal: returns once the splash has closed itself.
    virtual void showSplash(std::chrono::milliseconds life) = 0;
    // Staying online: deliveries converted since start and the file the last one went to
    // (a file name, no folder), and its workbook when workbooks are made (nothing when they
    // are not). Shown from start-up on, with 0 and no names. With "Skip records delivered
    // before", what the last delivery left out (empty when nothing), on a line of its own.
    virtual void showDeliveries(int /*converted*/, std::string_view /*lastOutputName*/,
                                std::optional<std::string_view> /*lastWorkbookName*/,
                                std::optional<std::string_view> /*lastRepeated*/ = std::nullopt) {}
    virtual void processEvents() = 0;
    // Owner of the message boxes.
    virtual QWidget* dialogParent() = 0;
};

}  // namespace tallivo
