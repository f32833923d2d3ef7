#include "uikit/message_box.h"

#include <QMessageBox>

namespace tallivo {

namespace {
std::vector<MessageBox::Shown>& shownList() {
    static std::vector<MessageBox::Shown> list;
    return list;
}
bool autoAnswerOn = false;
MessageBox::Answer autoAnswer = MessageBox::Answer::Ok;
}  // namespace

std::deque<MessageBox::Answer>& MessageBox::queued() {
    static std::deque<Answer> answers;
    return answers;
}

MessageBox::Answer MessageBox::show(QWidget* parent, const QString& text, const QString& title,
                                    Buttons buttons) {
    Answer answer;
    if (!queued().empty()) {
        answer = queued().front();
        queued().pop_front();
    } else if (autoAnswerOn) {
        answer = buttons == Buttons::Ok ? Answer::Ok : autoAnswer;
    } else {
        // No icon, as every box of the system.
        QMessageBox box(QMessageBox::NoIcon, title, text,
                        buttons == Buttons::Ok ? QMessageBox::Ok : (QMessageBox::Yes | QMessageBox::No),
                        parent);
        const int result = box.exec();
        answer = result == QMessageBox::Yes  ? Answer::Yes
                 : result == QMessageBox::No ? Answer::No
                                             : Answer::Ok;
        if (buttons == Buttons::YesNo && result != QMessageBox::Yes) answer = Answer::No;
    }
    shownList().push_back({text, title, buttons, answer});
    return answer;
}

void MessageBox::setNextAnswer(Answer answer) {
    queued().push_back(answer);
}

void MessageBox::setAutoAnswer(bool on, Answer answer) {
    autoAnswerOn = on;
    autoAnswer = answer;
}

const std::vector<MessageBox::Shown>& MessageBox::shown() {
    return shownList();
}

void MessageBox::clearShown() {
    shownList().clear();
}

void MessageBox::reset() {
    queued().clear();
    shownList().clear();
    autoAnswerOn = false;
}

}  // namespace tallivo
