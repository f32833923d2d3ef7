#pragma once

#include <QStringList>

namespace tallivo {

// The items of the wizard's lists, in list order. A list's text is what gets saved, so
// these texts are the stored values.

// "NONE", then "0" .. "255": item index = character code + 1.
QStringList CharacterListItems();
// "VARIABLE", then "1" .. "48": item index = length.
QStringList LengthListItems();
// "Com-1" .. "Com-255": item index = port number - 1.
QStringList ComPortItems();
QStringList BaudRateItems();
QStringList EndOfFileMessageItems();

}  // namespace tallivo
