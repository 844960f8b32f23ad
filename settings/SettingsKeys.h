#pragma once

// Names in the settings file shared with the desktop-information tool. The
// tool reads these names, so they never change.

namespace korvel::keys {

inline constexpr char Displaying[] = "Displaying";
inline constexpr char Username[] = "Username";
inline constexpr char IPaddress[] = "IPaddress";
inline constexpr char Netmask[] = "Netmask";
inline constexpr char Gateway[] = "Gateway";
inline constexpr char Hostname[] = "Hostname";
inline constexpr char Over[] = "Over";
inline constexpr char OverText[] = "OverText";

inline constexpr char Settings[] = "Settings";
inline constexpr char Color[] = "Color";
inline constexpr char FontSize[] = "FontSize";
inline constexpr char Logo[] = "Logo";
inline constexpr char Position[] = "Position";
inline constexpr char OriginalImage[] = "OriginalImage";
inline constexpr char Image[] = "Image";

// The values of Position.
inline constexpr char PositionLeft[] = "left";
inline constexpr char PositionCenter[] = "center";
inline constexpr char PositionRight[] = "right";

// The text in which a true boolean is stored.
inline constexpr char TrueText[] = "true";

} // namespace korvel::keys
