#include "polling/splash.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QScreen>
#include <QTimer>

#include "uikit/twips.h"
#include "uikit/window_font.h"

#ifndef TALLIVO_VERSION_TEXT
#define TALLIVO_VERSION_TEXT "5.0"
#endif

namespace tallivo {

namespace {
QLabel* MakeLabel(QWidget* parent, const char* name, const QString& caption, int top) {
    auto* label = new QLabel(caption, parent);
    label->setObjectName(name);
    label->setGeometry(TwipsRect(120, top, 4635, 375, parent));
    label->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    label->setFont(WindowFont(12, true));
    label->setFocusPolicy(Qt::NoFocus);
    return label;
}
}  // namespace

Splash::Splash(std::chrono::milliseconds life, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint) {
    setObjectName("splash");
    setModal(true);
    setFixedSize(TwipsToPixels(4935, this), TwipsToPixels(2430, this));

    Label1 = MakeLabel(this, "Label1", "Tallivo 5.0", 300);
    Label2 = MakeLabel(this, "Label2", "Ravlet download wizard", 780);
    Label3 = MakeLabel(this, "Label3", QStringLiteral("Version %1").arg(TALLIVO_VERSION_TEXT), 1560);

    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect frame = geometry();
        frame.moveCenter(screen->availableGeometry().center());
        move(frame.topLeft());
    }

    Timer1 = new QTimer(this);
    Timer1->setSingleShot(true);
    Timer1->setInterval(life);
    connect(Timer1, &QTimer::timeout, this, &Splash::Timer1_Timer);
    Timer1->start();
}

void Splash::Timer1_Timer() {
    timerFired_ = true;
    accept();
}

void Splash::reject() {
    if (timerFired_) QDialog::reject();
}

void Splash::keyPressEvent(QKeyEvent* event) {
    event->accept();
}

void Splash::closeEvent(QCloseEvent* event) {
    if (timerFired_)
        QDialog::closeEvent(event);
    else
        event->ignore();
}

}  // namespace tallivo
