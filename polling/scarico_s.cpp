#include "polling/scarico_s.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QGroupBox>
#include <QGuiApplication>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QPixmap>
#include <QProgressBar>
#include <QScreen>
#include <QTimer>
#include <utility>

#include "polling/progress_scale.h"
#include "polling/splash.h"
#include "uikit/code_page_text.h"
#include "uikit/twips.h"
#include "uikit/window_font.h"

// The images live in a static library; their registration must be pulled in by hand.
static void InitPollingResources() {
    Q_INIT_RESOURCE(polling);
}

namespace tallivo {

namespace {

const QColor kGrey(224, 224, 224);
const QColor kNavy(0, 0, 128);
const QColor kLightYellow(255, 255, 192);

QGroupBox* MakeFrame(QWidget* window, const char* name, const char* caption, int left, int top, int width,
                     int height) {
    auto* frame = new QGroupBox(QString::fromLatin1(caption), window);
    frame->setObjectName(name);
    frame->setGeometry(TwipsRect(left, top, width, height, window));
    QPalette palette = frame->palette();
    palette.setColor(QPalette::Window, kGrey);
    palette.setColor(QPalette::WindowText, kNavy);
    palette.setColor(QPalette::Text, kNavy);
    palette.setColor(QPalette::ButtonText, kNavy);
    frame->setPalette(palette);
    frame->setAutoFillBackground(true);
    // An etched rectangle with the caption cutting its top edge, filled with the frame's
    // own grey (styles would otherwise tint the inside of a group box).
    const int captionTop = TwipsToPixels(90, window);
    frame->setStyleSheet(
        QStringLiteral("QGroupBox { background-color: rgb(224,224,224); border: 2px groove "
                       "rgb(200,200,200); margin-top: %1px; }"
                       "QGroupBox::title { subcontrol-origin: margin; subcontrol-position: top left;"
                       " left: %2px; top: 0px; padding: 0px 2px; color: rgb(0,0,128);"
                       " background-color: rgb(224,224,224); }")
            .arg(captionTop)
            .arg(TwipsToPixels(90, window)));
    frame->setFocusPolicy(Qt::NoFocus);
    return frame;
}

QLabel* MakeLabel(QGroupBox* frame, const char* name, const char* caption, int left, int top, int width,
                  int height, const QColor& background, const QColor& text, Qt::Alignment alignment) {
    auto* label = new QLabel(QString::fromLatin1(caption), frame);
    label->setObjectName(name);
    label->setGeometry(TwipsRect(left, top, width, height, frame));
    label->setFont(WindowFont(8.25, false));
    QPalette palette = label->palette();
    palette.setColor(QPalette::Window, background);
    palette.setColor(QPalette::WindowText, text);
    label->setPalette(palette);
    label->setAutoFillBackground(true);
    label->setAlignment(alignment | Qt::AlignTop);
    label->setTextFormat(Qt::PlainText);
    label->setFocusPolicy(Qt::NoFocus);
    return label;
}

}  // namespace

ScaricoS::ScaricoS(RunOptions options, QWidget* parent)
    : QWidget(parent), run_(*this, options), startDelay_(options.timings.start) {
    InitPollingResources();
    setObjectName("scaricoS");
    setWindowTitle("TALLIVO 5.0");
    QIcon icon;
    icon.addFile(":/polling/icon32.png", QSize(32, 32));
    icon.addFile(":/polling/icon16.png", QSize(16, 16));
    setWindowIcon(icon);
    setFont(WindowFont(8.25, true));
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, kGrey);
    setPalette(palette);
    setAutoFillBackground(true);
    setFocusPolicy(Qt::StrongFocus);
    setFixedSize(TwipsToPixels(5505, this), TwipsToPixels(3525, this));

    Picture1 = new QLabel(this);
    Picture1->setObjectName("Picture1");
    Picture1->setGeometry(TwipsRect(60, 60, 2415, 885, this));
    Picture1->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    Picture1->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    Picture1->setPixmap(QPixmap(":/polling/logo.jpg"));
    Picture1->setFocusPolicy(Qt::NoFocus);

    const Qt::Alignment centre = Qt::AlignHCenter;
    Frame1 = MakeFrame(this, "Frame1", "Status", 2580, 60, 1395, 855);
    Label1 = MakeLabel(Frame1, "Label1", "Off Line", 120, 360, 1005, 375, QColor(192, 0, 0),
                       QColor(255, 255, 0), centre);
    Label2 = MakeLabel(Frame1, "Label2", "On Line", 120, 360, 1005, 375, kNavy, QColor(0, 255, 0), centre);
    Label1->hide();
    Label2->hide();

    // Designed hidden, almost wholly outside the client area; nothing ever shows it.
    Frame2 = MakeFrame(this, "Frame2", "Model and Ver. name", 5220, 1140, 5355, 855);
    Label3 = MakeLabel(Frame2, "Label3", "", 120, 360, 5115, 375, kLightYellow, kNavy, centre);
    Frame2->hide();

    Frame3 = MakeFrame(this, "Frame3", "Bytes", 4080, 60, 1335, 855);
    Label4 = MakeLabel(Frame3, "Label4", "", 120, 360, 1095, 375, kLightYellow, QColor(255, 0, 0), centre);

    PB1 = new QProgressBar(this);
    PB1->setObjectName("PB1");
    PB1->setGeometry(TwipsRect(60, 1080, 5355, 435, this));
    PB1->setTextVisible(false);
    PB1->setRange(0, 100);
    PB1->setValue(0);
    PB1->setFocusPolicy(Qt::NoFocus);

    Frame4 = MakeFrame(this, "Frame4", "Record", 60, 1680, 5355, 855);
    Label5 =
        MakeLabel(Frame4, "Label5", "", 120, 240, 5115, 375, kLightYellow, QColor(255, 0, 0), Qt::AlignLeft);

    Frame5 = MakeFrame(this, "Frame5", "Function", 60, 2580, 5355, 855);
    Label6 = MakeLabel(Frame5, "Label6", "", 120, 360, 5115, 375, kNavy, QColor(255, 255, 0), centre);

    // A screen reader speaks a label's text as its name; the description says what the text
    // is (an accessible name would hide the text itself).
    const std::pair<QLabel*, const char*> meanings[] = {{Label1, "Connection status"},
                                                        {Label2, "Connection status"},
                                                        {Label4, "Data file size in bytes"},
                                                        {Label5, "Last record written"},
                                                        {Label6, "Current phase"}};
    for (const auto& [label, meaning] : meanings) {
        label->setAccessibleDescription(QString::fromLatin1(meaning));
    }
    PB1->setAccessibleName(QStringLiteral("Progress of the output file"));

    Timer2 = new QTimer(this);
    Timer2->setObjectName("Timer2");
    Timer2->setSingleShot(true);
    connect(Timer2, &QTimer::timeout, this, &ScaricoS::Timer2_Timer);

    centreOnScreen();
}

void ScaricoS::centreOnScreen() {
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect frame(QPoint(0, 0), size());
        frame.moveCenter(screen->availableGeometry().center());
        move(frame.topLeft());
    }
}

ScaricoS::~ScaricoS() = default;

void ScaricoS::start() {
    if (std::optional<Ending> ending = run_.startUp()) {
        finish(*ending);
        return;
    }
    show();
    activateWindow();
    Timer2->setInterval(startDelay_);
    Timer2->start();
}

void ScaricoS::Timer2_Timer() {
    Timer2->stop();
    converting_ = true;
    const Ending ending = run_.runDeliveries();
    converting_ = false;
    finish(ending);
}

void ScaricoS::finish(Ending ending) {
    if (ending_) return;
    ending_ = ending;
    Timer2->stop();
    emit ended(ending);
}

void ScaricoS::cancel() {
    if (converting_)
        run_.requestStop();  // the conversion unwinds and finishes
    else
        finish(Ending::Cancelled);
}

void ScaricoS::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) {
        event->accept();
        cancel();
        return;
    }
    QWidget::keyPressEvent(event);
}

void ScaricoS::closeEvent(QCloseEvent* event) {
    // Closing the window is taken as Esc: the run ends, the window goes with the process.
    event->ignore();
    if (!ending_) cancel();
}

void ScaricoS::showWaiting() {
    Label1->hide();
    Label2->hide();
    Label6->setText("Waiting...");
    // As at start-up; the next delivery has not begun. (A no-op the first time.)
    Label4->clear();
    Label5->clear();
    PB1->setValue(0);
}

void ScaricoS::showDeliveries(int converted, std::string_view lastOutputName,
                              std::optional<std::string_view> lastWorkbookName,
                              std::optional<std::string_view> lastRepeated) {
    if (Frame2->isHidden()) {
        // The unused frame goes below the others, which all stay where they are; a line for the
        // workbook, and one for what a repeat left out, make it taller.
        const int extra = (lastWorkbookName ? 300 : 0) + (lastRepeated ? 300 : 0);
        Frame2->setTitle(QStringLiteral("Deliveries"));
        Frame2->setGeometry(TwipsRect(60, 3480, 5355, 855 + extra, this));
        Label3->setGeometry(TwipsRect(120, 360, 5115, 375 + extra, this));
        setFixedSize(TwipsToPixels(5505, this), TwipsToPixels(4425 + extra, this));
        Frame2->show();
        centreOnScreen();
    }
    QString text = QStringLiteral("Converted: %1").arg(converted);
    if (!lastOutputName.empty()) text += QStringLiteral("   Last file: ") + TextOf(lastOutputName);
    if (lastWorkbookName && !lastWorkbookName->empty())
        text += QStringLiteral("\nSpreadsheet: ") + TextOf(*lastWorkbookName);
    if (lastRepeated && !lastRepeated->empty()) text += QStringLiteral("\n") + TextOf(*lastRepeated);
    Label3->setText(text);
}

void ScaricoS::showOffLine() {
    Label2->hide();
    Label1->show();
}

void ScaricoS::showOnLine() {
    Label1->hide();
    Label2->show();
}

void ScaricoS::showPhase(std::string_view text) {
    Label6->setText(TextOf(text));
}

void ScaricoS::showByteCount(std::uint64_t bytes) {
    Label4->setText(QString::number(bytes));
}

void ScaricoS::showRecord(std::string_view record) {
    Label5->setText(TextOf(record));
}

void ScaricoS::showProgress(std::uint64_t value, std::uint64_t maximum) {
    const ScaledProgress scaled = ScaleProgress(value, maximum);
    if (PB1->maximum() != scaled.maximum) PB1->setRange(0, scaled.maximum);
    PB1->setValue(scaled.value);
}

void ScaricoS::showSplash(std::chrono::milliseconds life) {
    Splash splash(life);
    splash.exec();
}

void ScaricoS::processEvents() {
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

}  // namespace tallivo
