#pragma once

// Every text of the settings window and its boxes, in one place. The texts are fixed; keep them
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
// %1: the chosen file, %2: one of the reasons below
inline constexpr char ImageUnusable[] = "Выбранный файл нельзя установить как изображение:\n%1\n%2";
inline constexpr char ImageMissing[] = "Файл не найден.";
inline constexpr char ImageNotReadable[] = "Нет прав на чтение файла.";
inline constexpr char ImageIsFolder[] = "Это папка, а не файл.";
inline constexpr char ImageNotRegularFile[] =
    "Это не обычный файл (например, канал или устройство).";
inline constexpr char ImageTooLarge[] = "Файл больше %1 МиБ."; // %1: the limit
inline constexpr char ImageReadFailed[] = "Не удалось прочитать файл.";
inline constexpr char ImageNotAnImage[] = "Файл не является изображением.";
// %1: the largest number of pixels, %2: the side of a square of that size
inline constexpr char ImageTooManyPixels[] =
    "Изображение слишком большое: допустимо не более %1 точек (%2 × %2).";
// %1: the settings file
inline constexpr char SettingsWriteFailed[] =
    "Не удалось записать настройки в файл:\n%1\nПараметры не сохранены, изображение не изменено.";
// %1: the wallpaper file, %2: one of the reasons below
inline constexpr char WallpaperFailed[] =
    "Не удалось установить изображение в файл:\n%1\n%2\nПараметры не сохранены.";
// %1: the wallpaper file, %2: the reason, %3: the settings file
inline constexpr char WallpaperFailedSettingsKept[] =
    "Не удалось установить изображение в файл:\n%1\n%2\nНастройки в файле %3 уже изменены, "
    "вернуть прежние не удалось.";
inline constexpr char WriteNoPermission[] = "Нет прав на запись в папку.";
inline constexpr char WriteNoSpace[] = "Недостаточно места на диске.";
inline constexpr char WriteReadOnly[] = "Файловая система доступна только для чтения.";
inline constexpr char WriteFolderMissing[] = "Папка не найдена.";
inline constexpr char WriteOtherError[] = "Ошибка записи (код %1)."; // %1: the system error number

// Preview
inline constexpr char PreviewImageUnreadable[] = "Не удалось прочитать изображение:\n";
inline constexpr char PreviewImageTooLarge[] = "Изображение слишком большое:\n";
inline constexpr char PreviewFontUnusable[] = "Не удалось загрузить шрифт:\n";
inline constexpr char PreviewFontSizeRefused[] = "Недопустимый размер шрифта: ";
inline constexpr char PreviewTempNotWritable[] = "Не удалось записать временный файл в ";
inline constexpr char PreviewWindowFailed[] = "Не удалось открыть окно предпросмотра:\n";

// Any action that failed in a way none of the texts above describes.
inline constexpr char UnexpectedFailure[] = "Действие не выполнено:\n";

// Autostart
inline constexpr char AutostartErrorTitle[] = "Ошибка";
inline constexpr char AutostartDoneTitle[] = "Выполнено";
inline constexpr char AutostartOn[] = "Автостар включен!";
inline constexpr char AutostartOff[] = "Автостар отключен!";

} // namespace korvel::msg
