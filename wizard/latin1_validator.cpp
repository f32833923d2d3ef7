#include "wizard/latin1_validator.h"

namespace tallivo {

QValidator::State Latin1Validator::validate(QString& input, int& /*position*/) const {
    for (const QChar character : input) {
        if (character.unicode() > 0xFF) return Invalid;
    }
    return Acceptable;
}

}  // namespace tallivo
