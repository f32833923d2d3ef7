#include "wizard/list_items.h"

#include "wizard/core/control_values.h"

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

namespace {

template <std::size_t N>
QStringList Items(const std::array<std::string_view, N>& texts) {
    QStringList items;
    for (std::string_view text : texts)
        items << QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
    return items;
}

}  // namespace

QStringList BaudRateItems() {
    return Items(kBaudRateItems);
}

QStringList EndOfFileMessageItems() {
    return Items(kEndOfFileMessageItems);
}

}  // namespace tallivo
