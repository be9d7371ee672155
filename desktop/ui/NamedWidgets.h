// Buttons made with the object name that tests and screenshots find them by.
//
// Threads: window thread only.
#pragma once

#include <QPushButton>

namespace ui {

inline QPushButton* NamedButton(const QString& text, const char* objectName)
{
    auto* button = new QPushButton(text);
    button->setObjectName(QLatin1String(objectName));
    return button;
}

} // namespace ui
