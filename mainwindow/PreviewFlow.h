#pragma once

class QWidget;

namespace korvel {

struct AppContext;
class MainForm;
class PreviewWindow;

// The preview button's work: reads the form, collects the requested host
// facts, composes the image at the desktop size, writes it to the temporary
// folder and shows it full screen in a new preview window, which is returned.
// Any failure is reported in a warning box over `mainWindow`; then no window
// is made, no file is left behind and nullptr is returned.
PreviewWindow *showPreview(QWidget *mainWindow, const MainForm &ui, const AppContext &context);

} // namespace korvel
