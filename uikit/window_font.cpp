#include "uikit/window_font.h"

#include <QStringList>

namespace tallivo {

QFont WindowFont(double pointSize, bool bold) {
    static const bool substituted = [] {
        QFont::insertSubstitutions("MS Sans Serif", QStringList{"Microsoft Sans Serif", "Liberation Sans",
                                                                "Arial", "DejaVu Sans", "Noto Sans"});
        return true;
    }();
    (void)substituted;
    QFont font("MS Sans Serif");
    font.setStyleHint(QFont::SansSerif);
    font.setPointSizeF(pointSize);
    font.setBold(bold);
    return font;
}

}  // namespace tallivo
