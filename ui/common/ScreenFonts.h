#pragma once

// The fonts the screens name: the bundled seven-segment font, and stand-ins for the families the screens were
// designed with where this system does not have them.
namespace ScreenFonts {

// Registers the bundled LCD font (family "Digital-7") once per process; later calls only report whether it is
// available.
bool registerLcdFont();

// Maps Verdana to DejaVu Sans and Arial to Liberation Sans (each then to DejaVu Sans), so that the screens look
// alike on systems without the Windows core fonts. Call once before the first screen is built.
void installSubstitutions();

} // namespace ScreenFonts
