#pragma once

class QString;

// What a screen reader finds of the tray icon. On an XEmbed tray Qt draws the icon in a small window of its own
// (QSystemTrayIconSys), made when the icon is shown and made anew each time a tray takes the icon again. Qt gives
// it neither a name nor a word on what it does, and leaves it out of the application's windows, as it does every
// window embedded in another program's: no reader would come across it. The adaptors list the icon among the
// program's windows, name it after the program and say how to use it.
namespace TrayAccessibility {

// The icon's description on an XEmbed tray, where a double click shows the window and a right click the menu.
QString xembedIconDescription();

// Names the balloon Qt shows at an XEmbed icon (a window of its own) after its title, and its close button "Close",
// which Qt leaves without a name.
void nameBalloon(const QString& title);

// Installs the adaptors' factory once per process. Called before the application object is made: the application's
// adaptor is made once, the first time a reader asks for it; every icon window Qt makes later gets its adaptor then,
// whenever a tray (a late one, or one started again) takes the icon.
void install();

} // namespace TrayAccessibility
