#pragma once

class QWidget;

namespace korvel {

struct AppContext;
class Ui_MainWindow;
class previewWindow;

// The preview button's work: reads the form, collects the requested host
// facts, composes the image at the desktop size, writes it to the temporary
// folder and shows it full screen in a new preview window, which is returned.
// Any failure is reported in a warning box over `mainWindow`; then no window
// is made, no file is left behind and nullptr is returned.
previewWindow *showPreview(QWidget *mainWindow, const Ui_MainWindow &ui, const AppContext &context);

} // namespace korvel
