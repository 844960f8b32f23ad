#include "Startup.h"

#include "WindowPlacement.h"
#include "base/Diagnostics.h"
#include "base/Paths.h"
#include "forms/FormClass.h"
#include "forms/StartupError.h"
#include "mainwindow/AppContext.h"
#include "mainwindow/KorvelWindow.h"
#include "settings/SettingsFile.h"

#include <QApplication>
#include <QDesktopWidget>
#include <QIcon>

#include <exception>

namespace korvel {

int runApplication(int &argc, char **argv, const Paths &paths)
{
    // Until the event loop runs, a fatal toolkit error is a start-up failure like any other.
    FatalMessagesExit startupMessages;
    try {
        const FormClass mainForm =
            FormClass::fromFile(paths.mainForm, QStringLiteral("QMainWindow"));
        const FormClass previewForm =
            FormClass::fromFile(paths.previewForm, QStringLiteral("QWidget"));

        const SettingsFile settings(paths.settingsFile);

        // The windows are painted by the raster engine alone. Without this the
        // first window shown on X11 loads the OpenGL integration (Mesa and its
        // LLVM), which takes longer than all the rest of start-up together.
        QApplication::setAttribute(Qt::AA_ForceRasterWidgets);
        QApplication app(argc, argv);
        QApplication::setWindowIcon(QIcon(paths.icon));
        // The preview form is used only later, in the middle of a session.
        previewForm.verify();
        const QDesktopWidget *desktop = QApplication::desktop();

        AppContext context;
        context.paths = paths;
        context.mainForm = &mainForm;
        context.previewForm = &previewForm;
        context.settings = &settings;

        KorvelWindow window(context);
        window.move(centredPosition(desktop->size(), window.size()));
        window.show();

        startupMessages.restore();
        return QApplication::exec();
    } catch (const StartupError &error) {
        printDiagnostic(QString::fromUtf8(error.what()));
    } catch (const std::exception &error) {
        printDiagnostic(QStringLiteral("start-up failed: ") + QString::fromUtf8(error.what()));
    }
    return 1;
}

} // namespace korvel
