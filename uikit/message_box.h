#pragma once

#include <QString>
#include <deque>
#include <vector>

class QWidget;

namespace tallivo {

// Every message box of both programs goes through here, so that a test can answer the
// next questions in advance and read back what was shown, and never blocks on a dialog.
class MessageBox {
  public:
    enum class Answer { Ok, Yes, No };
    enum class Buttons { Ok, YesNo };

    struct Shown {
        QString text;
        QString title;
        Buttons buttons;
        Answer answer;
    };

    static Answer show(QWidget* parent, const QString& text, const QString& title, Buttons buttons);
    static void inform(QWidget* parent, const QString& text, const QString& title) {
        show(parent, text, title, Buttons::Ok);
    }
    static bool askYesNo(QWidget* parent, const QString& text, const QString& title) {
        return show(parent, text, title, Buttons::YesNo) == Answer::Yes;
    }

    // Test seam: while answers are queued (or auto-answering is on), no dialog is shown.
    static void setNextAnswer(Answer answer);
    static void setAutoAnswer(bool on, Answer answer = Answer::Ok);
    static const std::vector<Shown>& shown();
    static void clearShown();
    static void reset();

  private:
    static std::deque<Answer>& queued();
};

}  // namespace tallivo
