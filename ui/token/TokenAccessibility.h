#pragma once

class QString;
class QWidget;

// What a screen reader hears of the token screen: the code display read as its six digits, and the countdown read
// as the seconds left until the next code. The screen hands both values over through dynamic properties of the two
// widgets and tells the readers when they change.
namespace TokenAccessibility {

// The dynamic properties that carry the displayed code (a string, empty with no code) and the seconds left (1..30).
extern const char* const kCodeProperty;
extern const char* const kSecondsProperty;

// Installs the adaptors' factory once per process. Called before the first form is built: the form's accessible
// names already ask for the interfaces.
void install();

// Sets the property and tells the readers when the value differs from the one they know.
void setCode(QWidget* display, const QString& code);
void setSecondsLeft(QWidget* bar, int seconds);

} // namespace TokenAccessibility
