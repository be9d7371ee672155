// The events that bring a running instance's windows the device notices of
// ActiveSync (user messages 3 and 2): the main window and the registry
// editor receive them directly.
#pragma once

#include <QEvent>

namespace ui {

inline constexpr QEvent::Type kDeviceConnectedEvent = QEvent::Type(QEvent::User + 3);
inline constexpr QEvent::Type kDeviceDisconnectedEvent = QEvent::Type(QEvent::User + 2);

} // namespace ui
