// The documentation printout of a fully configured gateway into a PDF file, against QPainter writing
// the same lines into a PDF file of the same font and pages, in the same run.
#include "bench/BenchConfiguration.h"
#include "bench/BenchSupport.h"
#include "host/catalogue/CatalogueModel.h"
#include "host/objects/HostSession.h"
#include "host/objects/ProjectFactory.h"
#include "model/EtsDbManagement.h"
#include "product/ParameterNumbers.h"
#include "ui/DocumentationPrinter.h"

#include <QFont>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QPainter>
#include <QPdfWriter>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <unistd.h>

namespace {

[[noreturn]] void Fail(const std::string& text)
{
    bench::Fail("bench_print", text);
}

using bench::Median;
using bench::TimeMs;

// Every group with a member, every single, every scene with all groups, every effect with five steps.
void ConfigureFully(CEtsDbManagement& model)
{
    model.SetParameterLong(param::kAddressingMode, 4);
    model.SetAddressingMode(4);
    for (int g = 1; g <= kGroupCount; ++g) {
        model.CreateGroup(g);
        model.SetGroupName(g, "Group " + std::to_string(g));
        model.AddGroupMember(g, g);
        model.SetMemberName(g, "Luminaire " + std::to_string(g));
        model.SetMemberRandomNr(g, 0x100000 + g);
        model.SetMemberAssigned(g, true);
    }
    for (int s = 33; s <= kSingleCount; ++s)
        model.CreateSingle(s);
    bench::AddEveryScene(model);
    for (int e = 1; e <= kEffectCount; ++e) {
        model.CreateEffect(e);
        for (int k = 0; k < 4; ++k)
            model.CreateEffectStep(e, k);
        for (int step = 1; step <= 5; ++step)
            for (int g = 1; g <= 4; ++g)
                model.AddGroupToEffectStep(e, step, g, static_cast<std::uint16_t>(e + step + g));
    }
}

std::tm FixedTime()
{
    std::tm t{};
    t.tm_year = 126;
    t.tm_mon = 11;
    t.tm_mday = 10;
    t.tm_hour = 11;
    t.tm_min = 30;
    return t;
}

// The same lines with QPainter alone: the same font, resolution and pages, one line after the other.
void PaintPlain(const PrintLineList& lines, const QString& file)
{
    QPdfWriter writer(file);
    writer.setResolution(600);
    writer.setPageSize(QPageSize(QPageSize::A4));
    writer.setPageMargins(QMarginsF(6.35, 6.35, 6.35, 6.35), QPageLayout::Millimeter);
    QPainter painter;
    if (!painter.begin(&writer))
        Fail("QPainter cannot write " + file.toStdString());
    QFont font("DejaVu Sans Mono");
    font.setPointSize(10);
    painter.setFont(font);
    const QFontMetrics metrics = painter.fontMetrics();
    const int height = metrics.height() + 10, indent = metrics.horizontalAdvance(QLatin1Char(' '));
    const int bottom = writer.pageLayout().paintRectPixels(600).height() - 4 * height;
    int y = 0;
    for (const PrintLine& line : lines) {
        y += height;
        if (y > bottom) {
            writer.newPage();
            y = height;
        }
        if (line.kind == PrintLineKind::Separator)
            painter.drawLine(0, y, 4000, y);
        else if (!line.text.empty())
            painter.drawText(std::max(0, line.level) * indent, y, QString::fromStdString(line.text));
    }
    painter.end();
}

} // namespace

int main(int argc, char** argv)
{
    int runs = 7;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        if (a == "--runs" && i + 1 < argc)
            runs = std::max(1, std::atoi(argv[++i]));
        else
            Fail("usage: bench_print [--runs N]");
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    int qtArgc = 1;
    QGuiApplication application(qtArgc, argv);

    std::string error;
    std::shared_ptr<const CatalogueModel> catalogueModel =
        CatalogueModel::Load(Catalogue::DefaultPath(), &error);
    if (!catalogueModel)
        Fail(error);
    const std::filesystem::path folder =
        std::filesystem::temp_directory_path() / ("bench-print-" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder);
    const std::string project = (folder / "bench.veltrona").string();
    const QString printed = QString::fromStdString((folder / "printout.pdf").string()),
                  plain = QString::fromStdString((folder / "plain.pdf").string());
    NewProjectOptions options;
    options.demoGroupAddresses = true;
    auto store = CreateGatewayProject(project, catalogueModel->Source(), options, &error);
    if (!store)
        Fail(error);
    std::unique_ptr<HostSession> session = HostSession::Open(store, catalogueModel, &error);
    if (!session || FAILED(session->BeginEditing()))
        Fail("the project cannot be edited: " + error);
    CEtsDbManagement model(session->Device().Get());
    model.LoadDeviceParameterPointers();
    model.InitLightnessValueLists();
    model.LoadBufferedParameters();
    ConfigureFully(model);

    std::vector<double> collectMs, printMs, plainMs;
    PrintLineList lines;
    int pages = 0;
    for (int r = 0; r < runs; ++r) {
        collectMs.push_back(TimeMs([&] {
            lines.clear();
            model.AddPrintAll(lines, nullptr);
        }));
        std::filesystem::remove(printed.toStdString());
        printMs.push_back(TimeMs([&] {
            CDocumentationPrinter printer(model.GetPrintHeader());
            printer.SetTime(FixedTime);
            if (!printer.StartPrinting(printed))
                Fail("the printer cannot write " + printed.toStdString());
            printer.PrintLines(lines);
            printer.EndPrinting();
            pages = printer.PageCount();
        }));
        std::filesystem::remove(plain.toStdString());
        plainMs.push_back(TimeMs([&] { PaintPlain(lines, plain); }));
    }
    std::filesystem::remove_all(folder);

    const double collect = Median(collectMs), print = Median(printMs), baseline = Median(plainMs);
    std::printf("printout: %zu lines on %d pages\n", lines.size(), pages);
    std::printf("collecting the lines (model and host reads): median %9.3f ms over %d runs\n", collect, runs);
    std::printf("layout into the PDF file:                    median %9.3f ms\n", print);
    std::printf("QPainter alone, the same lines:              median %9.3f ms\n", baseline);
    std::printf("the whole printout: %.3f ms (goal < 1000 ms)\n", collect + print);
    std::printf("print: ratio %.2f (goal <= 2)\n", print / baseline);
    return 0;
}
