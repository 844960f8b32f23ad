#pragma once

#include "mainwindow/AppContext.h"
#include "mainwindow/MainForm.h"

#include <QMainWindow>
#include <QPointer>

namespace korvel {

class PreviewWindow;

// The settings window. Its widgets come from the main form file; each control
// runs one parameterless handler, connected on `clicked` so that states set by
// the program itself never run a handler.
class KorvelWindow : public QMainWindow
{
    Q_OBJECT

public:
    // Builds the form (throws StartupError when the form is unusable), wires the
    // controls and loads the stored settings into the form.
    explicit KorvelWindow(const AppContext &context, QWidget *parent = nullptr);
    ~KorvelWindow() override;

public slots:
    void preview();
    void saveSettings();
    void stateOver();
    void selectImage();
    void loadSettings();
    void changeAutostart();

private:
    AppContext m_context;
    MainForm m_form;
    QPointer<PreviewWindow> m_preview;
};

} // namespace korvel
