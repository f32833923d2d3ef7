#pragma once

#include <QCheckBox>

namespace tallivo {

// A check box's value as the configuration file numbers it: 0 cleared, 1 ticked,
// 2 greyed (Qt numbers ticked as 2, so the two must never be mixed up).
inline int CheckValue(const QCheckBox* box) {
    switch (box->checkState()) {
        case Qt::Checked:
            return 1;
        case Qt::PartiallyChecked:
            return 2;
        case Qt::Unchecked:
            break;
    }
    return 0;
}

// Returns false for a number that is no check box value.
inline bool SetCheckValue(QCheckBox* box, int value) {
    switch (value) {
        case 0:
            box->setCheckState(Qt::Unchecked);
            return true;
        case 1:
            box->setCheckState(Qt::Checked);
            return true;
        case 2:
            box->setCheckState(Qt::PartiallyChecked);
            return true;
        default:
            return false;
    }
}

}  // namespace tallivo
