#include "ui/DocumentationPrinter.h"

#include "platform/Clock.h"
#include "trace/DebugTrace.h"
#include "ui/DocumentationLayout.h"

#include <QFontMetrics>
#include <QPainter>
#include <QPdfWriter>
#include <QPrintDialog>
#include <QPrinter>

namespace {

// Asked by name, so that the pages come out the same on every machine.
constexpr const char* kPrintFont = "DejaVu Sans Mono";
constexpr int kPrintPointSize = 10;
constexpr const char* kDocumentName = "Veltrona";
// The resolution of a PDF file: that of a common office printer, whose device units the layout's
// spacing assumes.
constexpr int kPdfResolution = 600;
// The unprintable border of a laser printer, used where the device reports none (a PDF file).
constexpr double kDefaultOffsetMm = 6.35;
// Device units between a line's text and the next line, and of the footer's text below its rule.
constexpr int kLineSpacing = 10;

CDocumentationPrinter::PrintDialog& Dialog()
{
    static CDocumentationPrinter::PrintDialog dialog;
    return dialog;
}

bool RunPrintDialog(QPrinter& printer, QWidget* parent)
{
    if (Dialog())
        return Dialog()(printer, parent);
    QPrintDialog dialog(&printer, parent);
    // Printing into a PDF file is offered to everyone without a printer; no selection or page range.
    dialog.setOptions(QAbstractPrintDialog::PrintToFile | QAbstractPrintDialog::PrintCollateCopies |
                      QAbstractPrintDialog::PrintShowPageSize);
    return dialog.exec() == QDialog::Accepted;
}

} // namespace

class CDocumentationPrinter::CPainterSurface final : public IPrintSurface
{
public:
    CPainterSurface(QPainter& painter, QPagedPaintDevice& device)
        : m_painter(painter), m_device(device), m_metrics(painter.fontMetrics())
    {}
    void StartPage() override
    {
        if (m_nStarted++ > 0)
            m_device.newPage();
    }
    void EndPage() override { ++m_nFinished; }
    void DrawText(int x, int y, const std::string& text) override
    {
        m_painter.drawText(x, y + m_metrics.ascent(), QString::fromUtf8(text.data(), Size(text)));
    }
    void DrawLine(int x1, int y, int x2) override { m_painter.drawLine(x1, y, x2, y); }
    int TextWidth(std::string_view text) const override
    {
        return m_metrics.horizontalAdvance(QString::fromUtf8(text.data(), Size(text)));
    }
    int Finished() const { return m_nFinished; }

private:
    static qsizetype Size(std::string_view text) { return static_cast<qsizetype>(text.size()); }

    QPainter& m_painter;
    QPagedPaintDevice& m_device;
    QFontMetrics m_metrics;
    int m_nStarted = 0;
    int m_nFinished = 0;
};

CDocumentationPrinter::CDocumentationPrinter(PrintHeader header) : m_header(std::move(header)) {}

CDocumentationPrinter::~CDocumentationPrinter()
{
    // A document left open still ends as a readable file.
    if (m_layout)
        EndPrinting();
}

void CDocumentationPrinter::SetPrintDialog(PrintDialog dialog)
{
    Dialog() = std::move(dialog);
}

bool CDocumentationPrinter::StartPrinting(QWidget* parent)
{
    TRACE_ENTRY();
    m_strError.clear();
    auto printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
    printer->setDocName(kDocumentName);
    printer->setCreator(kDocumentName);
    if (!RunPrintDialog(*printer, parent))
        return false;
    if (printer->outputFormat() == QPrinter::PdfFormat)
        printer->setResolution(kPdfResolution);
    QPrinter& device = *printer;
    m_device = std::move(printer);
    return Begin(device, device.resolution(),
                 device.outputFormat() == QPrinter::PdfFormat ? device.outputFileName() : QString());
}

bool CDocumentationPrinter::StartPrinting(const QString& pdfFile)
{
    TRACE_ENTRY();
    m_strError.clear();
    auto writer = std::make_unique<QPdfWriter>(pdfFile);
    writer->setResolution(kPdfResolution);
    writer->setPageSize(QPageSize(QPageSize::A4));
    writer->setTitle(kDocumentName);
    writer->setCreator(kDocumentName);
    QPdfWriter& device = *writer;
    m_device = std::move(writer);
    return Begin(device, kPdfResolution, pdfFile);
}

bool CDocumentationPrinter::Begin(QPagedPaintDevice& device, int resolution, const QString& file)
{
    // A device without an unprintable border gets that of a printer, so that nothing sits on the edge.
    if (device.pageLayout().margins(QPageLayout::Millimeter).isNull())
        device.setPageMargins(
            QMarginsF(kDefaultOffsetMm, kDefaultOffsetMm, kDefaultOffsetMm, kDefaultOffsetMm),
            QPageLayout::Millimeter);
    m_painter = std::make_unique<QPainter>();
    if (!m_painter->begin(&device)) {
        TRACE_MSG(TRACE_ERROR, "the printer cannot be used");
        m_strError = file.isEmpty() ? QStringLiteral("The printer cannot be used.")
                                    : QStringLiteral("The file %1 cannot be written.").arg(file);
        m_painter.reset();
        m_device.reset();
        return false;
    }
    QFont font(kPrintFont);
    font.setStyleHint(QFont::Monospace);
    font.setPointSize(kPrintPointSize);
    m_painter->setFont(font);
    // A rule of about a sixth of a millimetre, visible on paper and on screen.
    QPen pen(Qt::black);
    pen.setWidth(std::max(1, resolution / 150));
    m_painter->setPen(pen);

    const QPageLayout layout = device.pageLayout();
    const QRect sheet = layout.fullRectPixels(resolution);
    const QRect printable = layout.paintRectPixels(resolution);
    const QFontMetrics metrics = m_painter->fontMetrics();
    PrintMetrics m;
    m.pageHeight = sheet.height();
    m.left = printable.left() - sheet.left();
    m.top = printable.top() - sheet.top();
    m.usableWidth = sheet.width() - 4 * m.left;
    m.lineHeight = metrics.height() + kLineSpacing;
    m.indentUnit = metrics.horizontalAdvance(QLatin1Char(' '));

    m_surface = std::make_unique<CPainterSurface>(*m_painter, device);
    auto now = m_now ? m_now : [] {
        return DefaultClock().LocalTime();
    };
    m_layout = std::make_unique<CDocumentationLayout>(*m_surface, m, m_header, std::move(now));
    m_layout->StartPrinting();
    return true;
}

void CDocumentationPrinter::PrintLines(const PrintLineList& list)
{
    TRACE_ENTRY();
    if (m_layout)
        m_layout->PrintLines(list);
}

void CDocumentationPrinter::EndPrinting()
{
    TRACE_ENTRY();
    if (!m_layout)
        return;
    m_layout->EndPrinting();
    m_painter->end();
    m_layout.reset();
}

int CDocumentationPrinter::PageCount() const
{
    return m_surface ? m_surface->Finished() : 0;
}
