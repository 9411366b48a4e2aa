// Prints the documentation's lines on a printer the user chooses, or into a PDF file, in a fixed-pitch
// font with the page header and footer of the layout.
#pragma once

#include "access/PrintLine.h"

#include <QString>
#include <ctime>
#include <functional>
#include <memory>

class CDocumentationLayout;
class QPagedPaintDevice;
class QPainter;
class QPrinter;
class QWidget;

class CDocumentationPrinter
{
public:
    explicit CDocumentationPrinter(PrintHeader header);
    ~CDocumentationPrinter();
    CDocumentationPrinter(const CDocumentationPrinter&) = delete;
    CDocumentationPrinter& operator=(const CDocumentationPrinter&) = delete;

    // Asks for the printer in the print dialog, printing to a PDF file among the choices, and starts
    // the document; false when the user cancels or the printer cannot be used.
    bool StartPrinting(QWidget* parent);
    // Starts the document in a PDF file, without asking; false when the file cannot be written.
    bool StartPrinting(const QString& pdfFile);
    void PrintLines(const PrintLineList& list);
    void EndPrinting();
    // Pages finished so far.
    int PageCount() const;
    // Why StartPrinting failed; empty when the user cancelled.
    const QString& GetErrorText() const { return m_strError; }

    // The footer's date and time; the local time of each footer when none is given.
    void SetTime(std::function<std::tm()> now) { m_now = std::move(now); }

    // The print dialog: sets up the printer and tells whether to print. Tests install their own;
    // an empty function restores the platform's dialog.
    using PrintDialog = std::function<bool(QPrinter& printer, QWidget* parent)>;
    static void SetPrintDialog(PrintDialog dialog);

private:
    class CPainterSurface;
    // file: the PDF file written, if any, for the failure's text.
    bool Begin(QPagedPaintDevice& device, int resolution, const QString& file);

    PrintHeader m_header;
    QString m_strError;
    std::function<std::tm()> m_now;
    std::unique_ptr<QPagedPaintDevice> m_device;
    std::unique_ptr<QPainter> m_painter;
    std::unique_ptr<CPainterSurface> m_surface;
    std::unique_ptr<CDocumentationLayout> m_layout;
};
