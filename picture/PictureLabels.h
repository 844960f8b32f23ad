#pragma once

// The labels of the text block drawn on the picture. The texts are fixed; keep them
// character for character (spaces and line breaks included).

namespace korvel::msg {

inline constexpr char LabelUsername[] = "Имя пользователя:   ";
inline constexpr char LabelHostname[] = "Имя компьютера: ";
inline constexpr char LabelIpAddress[] = "IP-адрес компьютера:  ";
inline constexpr char LabelNetmask[] = "Маска сети:  ";
inline constexpr char LabelGateway[] = "Шлюз по-умолчанию:   ";

} // namespace korvel::msg
