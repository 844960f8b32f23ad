#pragma once

// Every text that the user sees, in one place. The texts are fixed; keep them
// character for character (spaces and line breaks included).

namespace korvel::msg {

// Main window
inline constexpr char ChooseImageCaption[] = "Выбрать файл";
inline constexpr char ChooseImageFilter[] = "Изображения (*.png)";

// Settings: saving
inline constexpr char SaveQuestionTitle[] = "Сохранение параметров";
inline constexpr char SaveQuestionText[] = "Сохранить выбранные параметры?";
inline constexpr char ErrorTitle[] = "Ошибка!";
inline constexpr char NoImageChosen[] = "Необходимо выбрать изображение";
inline constexpr char SettingsNotWritable[] =
    "Недостаточно прав для сохранения настроек\nПользователь должен быть в группе korvel";
inline constexpr char SavedTitle[] = "Выполнено!";
inline constexpr char SavedText[] = "Параметры сохранены!";

// Preview
inline constexpr char LabelUsername[] = "Имя пользователя:   ";
inline constexpr char LabelHostname[] = "Имя компьютера: ";
inline constexpr char LabelIpAddress[] = "IP-адрес компьютера:  ";
inline constexpr char LabelNetmask[] = "Маска сети:  ";
inline constexpr char LabelGateway[] = "Шлюз по-умолчанию:   ";

// Autostart
inline constexpr char AutostartErrorTitle[] = "Ошибка";
inline constexpr char AutostartDoneTitle[] = "Выполнено";
inline constexpr char AutostartOn[] = "Автостар включен!";
inline constexpr char AutostartOff[] = "Автостар отключен!";
inline constexpr char AutostartFailedHead[] = "Произошла ошибка:\n";
inline constexpr char AutostartFailedTail[] = "\nНеобходимо повысить права";

} // namespace korvel::msg
