#pragma once

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QEventLoop>
#include <QKeyEvent>
#include <QLabel>
#include <QTimer>
#include <chrono>
#include <functional>
#include <optional>
#include <string>

#include "polling/scarico_s.h"
#include "polling_test_support.h"
#include "uikit/message_box.h"

namespace tallivo::testing {

inline void PressEscape(QWidget& widget) {
    QKeyEvent press(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QCoreApplication::sendEvent(&widget, &press);
}

inline QString LabelText(const QWidget& window, const char* name) {
    const auto* label = window.findChild<QLabel*>(name);
    return label != nullptr ? label->text() : QString("<no %1>").arg(name);
}

// Runs the real window in-process with short timings and every message box answered.
class RunTest : public ::testing::Test {
  protected:
    void SetUp() override {
        MessageBox::reset();
        MessageBox::setAutoAnswer(true, MessageBox::Answer::No);
    }
    void TearDown() override { MessageBox::reset(); }

    RunOptions FastOptions() const {
        using namespace std::chrono_literals;
        RunOptions options;
        options.configPlaces = std::vector<std::filesystem::path>{folder / "orvwizard.cfg"};
        options.timings.start = 5ms;
        options.timings.poll = 5ms;
        options.timings.shortWait = 5ms;
        options.timings.doneWait = 5ms;
        options.timings.noDataWait = 5ms;
        options.timings.splash = 100ms;
        return options;
    }

    Settings Configure(const std::function<void(Settings&)>& change = {}) {
        Settings settings = TestSettings(folder.path().string());
        if (change) change(settings);
        WriteConfig(folder.path(), settings);
        return settings;
    }

    // The terminal side: the data file, then the marker goes.
    void Deliver(const std::string& data) { Deliver(folder.path(), data); }
    static void Deliver(const std::filesystem::path& into, const std::string& data) {
        WriteFile(into / "~dati.txt", data);
        std::filesystem::remove(into / "~1~");
    }

    // Starts the window and runs its events until it has ended. `afterStart` runs once
    // start-up is done; `watch` runs every millisecond while the run goes on.
    std::optional<Ending> RunToEnd(ScaricoS& window, const std::function<void()>& afterStart = {},
                                   const std::function<void()>& watch = {},
                                   std::chrono::milliseconds timeout = std::chrono::seconds(20)) {
        QEventLoop loop;
        QObject::connect(&window, &ScaricoS::ended, &loop, [&loop] { loop.quit(); });
        window.start();
        if (window.ending()) return window.ending();
        if (afterStart) afterStart();
        QTimer watcher;
        if (watch) {
            QObject::connect(&watcher, &QTimer::timeout, watch);
            watcher.start(1);
        }
        bool timedOut = false;
        QTimer::singleShot(timeout, &window, [&] {
            timedOut = true;
            PressEscape(window);  // unwinds a run stuck in a wait
            loop.quit();
        });
        loop.exec();
        EXPECT_FALSE(timedOut) << "the run did not end in time";
        return timedOut ? std::nullopt : window.ending();
    }

    TempFolder folder;
};

}  // namespace tallivo::testing
