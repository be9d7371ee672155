// Buttons and labels made with the object name that tests and screenshots find them by.
//
// Threads: window thread only.
#pragma once

#include <QLabel>
#include <QPushButton>

namespace ui {

inline QPushButton* NamedButton(const QString& text, const char* objectName)
{
    auto* button = new QPushButton(text);
    button->setObjectName(QLatin1String(objectName));
    return button;
}

// A plain-text label.
inline QLabel* NamedLabel(const QString& text, const char* objectName)
{
    auto* label = new QLabel(text);
    label->setObjectName(QLatin1String(objectName));
    label->setTextFormat(Qt::PlainText);
    return label;
}

} // namespace ui
