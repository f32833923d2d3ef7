#include "wizard/code_page_validator.h"

#include <QToolTip>

#include "common/code_page.h"
#include "uikit/code_page_text.h"

namespace tallivo {

CodePageValidator::CodePageValidator(QLineEdit* box) : QValidator(box), box_(box) {}

QValidator::State CodePageValidator::validate(QString& input, int& /*position*/) const {
    const QString refusal = CodePageRefusal(input);
    if (refusal.isEmpty()) return Acceptable;
    QToolTip::showText(box_->mapToGlobal(QPoint(0, box_->height())), refusal, box_);
    return Invalid;
}

QString CodePageRefusal(const QString& text) {
    if (BytesOf(text)) return {};
    for (const QChar character : text) {
        if (BytesOf(QString(character))) continue;
        return QStringLiteral("\"%1\" cannot be stored: this computer's code page (%2) has no byte for it.")
            .arg(character)
            .arg(QString::fromStdString(CodePageName()));
    }
    return {};
}

}  // namespace tallivo
