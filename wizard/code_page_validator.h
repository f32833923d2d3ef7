#pragma once

#include <QLineEdit>
#include <QValidator>

namespace tallivo {

// Text boxes hold bytes of the system's code page: a character outside it would be stored as
// "?" without anyone noticing, so it is refused as it is typed or pasted, and a tip at the box
// says why.
class CodePageValidator : public QValidator {
  public:
    explicit CodePageValidator(QLineEdit* box);
    State validate(QString& input, int& position) const override;

  private:
    QLineEdit* box_;
};

// The tip for the first character of `text` the code page cannot hold; empty when it holds all.
QString CodePageRefusal(const QString& text);

}  // namespace tallivo
