#pragma once

// What kind of system tray the desktop offers at this moment. Qt's tray icon decides its route once per process,
// at the first icon: the D-Bus route (StatusNotifierItem) when a StatusNotifierWatcher on the session bus reports a
// registered host, else the X11 route (XEmbed). These checks ask the same questions without making Qt decide, so
// that an icon is made only once there is a tray to take it.
namespace TrayHost {

// A StatusNotifierItem host: the watcher service org.kde.StatusNotifierWatcher is on the session bus and says that
// a host is registered (the check Qt makes for its D-Bus route).
bool statusNotifierHostPresent();

// An XEmbed tray: under X11, a window owns the system tray selection (_NET_SYSTEM_TRAY_S<screen>). False on other
// platforms.
bool xembedTrayPresent();

} // namespace TrayHost
