#pragma once

// The texts that tell why the autostart entry could not be read or switched. The texts are fixed;
// keep them character for character (spaces and line breaks included).

namespace korvel::msg {

inline constexpr char AutostartFailedHead[] = "Произошла ошибка:\n";
inline constexpr char AutostartFailedTail[] = "\nНеобходимо повысить права";
// Stands in for the command's complaint when it failed without writing one.
inline constexpr char AutostartExitCode[] = "Команда завершилась с кодом %1";
inline constexpr char AutostartCrashed[] = "Команда завершилась аварийно";
// Reading the entry: each text is built around the entry's path.
inline constexpr char AutostartMissingHead[] = "Не найден файл\n";
inline constexpr char AutostartMissingTail[] = "\nОн удален или не существует";
inline constexpr char AutostartUnreadableHead[] = "Файл ";
inline constexpr char AutostartUnreadableTail[] = "\n не доступен для чтения";
inline constexpr char AutostartNotReadHead[] = "Не удалось прочитать файл\n";
inline constexpr char AutostartIsDirectory[] = "\nПо этому пути находится каталог, а не файл";
inline constexpr char AutostartNotRegularFile[] = "\nПо этому пути находится не обычный файл";
inline constexpr char AutostartTooLarge[] = "\nФайл слишком велик для файла автозапуска";
inline constexpr char AutostartReadError[] = "\nОшибка чтения: ";
inline constexpr char AutostartNotUtf8[] =
    "\nСодержимое файла не является текстом в кодировке UTF-8";

} // namespace korvel::msg
