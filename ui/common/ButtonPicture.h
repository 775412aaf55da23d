#pragma once

#include <QString>

class QAbstractButton;

namespace ButtonPicture {

// Gives a button its picture (and the picture's @2x twin on a high-density screen), and asks for it at the
// picture's own size when the form names a larger icon size (the keys' 33 x 33, the Login button's 50 x 50). On a
// screen of ratio 1 that changes nothing: an icon is never enlarged. On a screen of ratio 2, Qt 6.4 derives the
// drawn picture's ratio from the asked size instead of the picture's, so the 96 x 48 Login twin asked for at 50 x 50
// would be drawn as 67 x 33 points, blurred and cut off by its 48 x 24 button.
void set(QAbstractButton* button, const QString& path);

} // namespace ButtonPicture
