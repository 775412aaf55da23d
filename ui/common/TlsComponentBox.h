#pragma once

#include <QString>

class QWidget;

// A platform without a TLS component cannot speak to the server at all; its network error says so, and the user is
// sent to the vendor's download page instead of being told that the server is unreachable.
namespace TlsComponentBox {

// Whether a request's error text tells that the platform's TLS component is missing.
bool isMissingComponent(const QString& errorText);

// The about box with the download link.
void show(QWidget* parent);

} // namespace TlsComponentBox
