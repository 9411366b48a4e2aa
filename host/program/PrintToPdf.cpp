#include "host/program/PrintToPdf.h"

#include "ui/DocumentationPrinter.h"

#include <QGuiApplication>
#include <memory>

int PrintToPdf(const PrintJob& job, std::string* error)
{
    // Fonts need a toolkit application; without a window the offscreen platform serves, so that the
    // command runs where there is no display.
    std::unique_ptr<QGuiApplication> application;
    if (!QCoreApplication::instance()) {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        static int argc = 1;
        static char name[] = "veltrona";
        static char* argv[] = {name, nullptr};
        application = std::make_unique<QGuiApplication>(argc, argv);
    }
    CDocumentationPrinter printer(job.header);
    if (job.time) {
        const std::tm time = *job.time;
        printer.SetTime([time] { return time; });
    }
    if (!printer.StartPrinting(QString::fromStdString(job.file))) {
        *error = printer.GetErrorText().toStdString();
        return 0;
    }
    printer.PrintLines(job.lines);
    printer.EndPrinting();
    return printer.PageCount();
}
