#include "wizard/list_items.h"

namespace tallivo {

QStringList CharacterListItems() {
    QStringList items{QStringLiteral("NONE")};
    for (int code = 0; code <= 255; ++code) items << QString::number(code);
    return items;
}

QStringList LengthListItems() {
    QStringList items{QStringLiteral("VARIABLE")};
    for (int length = 1; length <= 48; ++length) items << QString::number(length);
    return items;
}

QStringList ComPortItems() {
    QStringList items;
    for (int port = 1; port <= 255; ++port) items << QStringLiteral("Com-") + QString::number(port);
    return items;
}

QStringList BaudRateItems() {
    return {QStringLiteral("2400"), QStringLiteral("4800"), QStringLiteral("9600"), QStringLiteral("19200")};
}

QStringList EndOfFileMessageItems() {
    return {QStringLiteral("NONE"), QStringLiteral("<EOF>"), QStringLiteral("<ETX>"),
            QStringLiteral("<EOT>")};
}

}  // namespace tallivo
