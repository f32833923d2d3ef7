#pragma once

#include <QValidator>

namespace tallivo {

// Text boxes hold bytes of the single-byte code page: a character outside it would be
// stored as "?" without anyone noticing, so it is refused as it is typed or pasted.
class Latin1Validator : public QValidator {
  public:
    using QValidator::QValidator;
    State validate(QString& input, int& position) const override;
};

}  // namespace tallivo
