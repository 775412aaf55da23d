#pragma once

#include <QIcon>
#include <QList>

// The program's own picture as the window and tray icon: one icon holding every drawn size, so that a tray of 22 px,
// a taskbar of 48 px and a high-density screen each get a picture drawn for its size instead of a scaled one.
namespace ProgramIcon {

// The pixel sizes drawn (those of the hicolor theme folders the picture is installed in).
const QList<int>& sizes();

// Resource path of the picture of one size.
QString path(int size);

QIcon icon();

} // namespace ProgramIcon
