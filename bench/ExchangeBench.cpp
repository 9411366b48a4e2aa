// Export and import of a full gateway configuration through the exchange file, against pugixml
// parsing and writing the same file, in the same run.
#include "bench/BenchConfiguration.h"
#include "bench/BenchSupport.h"
#include "exchange/XmlDomExportImport.h"
#include "host/catalogue/CatalogueModel.h"
#include "host/objects/HostSession.h"
#include "host/objects/ProjectFactory.h"
#include "product/ParameterNumbers.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <pugixml.hpp>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

[[noreturn]] void Fail(const std::string& text)
{
    bench::Fail("bench_exchange", text);
}

using bench::Median;

// Wall time, or with VELTRONA_BENCH_CPU set the thread's CPU time: on a machine that others load,
// the wall clock measures them as well.
template <class F> double TimeMs(F&& f)
{
    static const bool cpu = std::getenv("VELTRONA_BENCH_CPU") != nullptr;
    if (!cpu)
        return bench::TimeMs(std::forward<F>(f));
    auto now = [] {
        timespec t{};
        ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
        return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) / 1e6;
    };
    const double start = now();
    f();
    return now() - start;
}

// Every group, every single, every scene with values, every effect with the value table filled to
// its limit, and associations on the first objects.
void ConfigureFully(CEtsDbManagement& model)
{
    model.SetParameterLong(param::kAddressingMode, 4);
    model.SetAddressingMode(4);
    for (int g = 1; g <= kGroupCount; ++g) {
        model.CreateGroup(g);
        model.SetGroupName(g, "Group " + std::to_string(g));
        model.AddGroupMember(g, g);
    }
    for (int s = 33; s <= kSingleCount; ++s)
        model.CreateSingle(s);
    bench::AddEveryScene(model);
    bench::AddEveryEffect(model, 4);
    for (int e = 1; e <= kEffectCount && model.GetEffectValueCount() < kEffectValueCount; ++e)
        for (int step = 1; step <= 5; ++step)
            for (int g = 1; g <= 13; ++g)
                model.AddGroupToEffectStep(e, step, g, static_cast<std::uint16_t>(e + step + g));
    ObjectAssociationMap map, wanted;
    model.GetDeviceObjectAssociations(map);
    int n = 0;
    for (const auto& [number, record] : map) {
        if (n++ >= 200)
            break;
        wanted[number] = {std::to_string(2048 + n) + "," + std::to_string(4096 + n), 0x5F, -1, -1};
    }
    model.SetDeviceObjectAssociations(wanted, nullptr);
}

// The file's values and objects, read with pugixml outside any timing.
struct FileContent
{
    std::vector<std::pair<UniqueNr, std::string>> values;
    ObjectAssociationMap objects;
};

FileContent ReadContent(const std::string& file)
{
    pugi::xml_document document;
    if (!document.load_file(file.c_str()))
        Fail("pugixml cannot read the file");
    FileContent content;
    for (pugi::xml_node section : document.document_element().children()) {
        for (pugi::xml_node p : section.children("Parameter"))
            content.values.emplace_back(p.attribute("UniqueNr").as_int(), p.text().get());
        for (pugi::xml_node o : section.children("Object"))
            content.objects[static_cast<std::uint16_t>(o.attribute("ObjectNr").as_int())] = {
                o.text().get(), static_cast<std::int16_t>(o.attribute("Flags").as_int(-1)),
                static_cast<std::int16_t>(o.attribute("MainType").as_int(-1)),
                static_cast<std::int16_t>(o.attribute("SubType").as_int(-1))};
    }
    return content;
}

// What an export and an import cannot do without: the model's and the host's reads and writes of
// the same values, with no file in between.
double HostWorkMs(CEtsDbManagement& model, const FileContent& content)
{
    return TimeMs([&] {
        CEtsAccess::ValueMap values;
        for (UniqueNr root : {700, 701, 705})
            model.GetAllParameterValues(values, root);
        for (int g = 1; g <= kGroupCount + kSingleCount; ++g)
            if (model.GroupExists(g))
                model.GetAllParameterValues(values, GetGroupUniqueNr(123, g));
        for (int s = 1; s <= kSceneCount; ++s)
            if (model.SceneExists(s))
                model.GetAllParameterValues(values, GetSceneUniqueNr(602, s));
        for (int e = 1; e <= kEffectCount; ++e)
            if (model.EffectExists(e))
                model.GetAllParameterValues(values, GetEffectUniqueNr(14700, e));
        ObjectAssociationMap objects;
        model.GetDeviceObjectAssociations(objects);

        // As the import does: a reset of everything, then the file's values.
        model.ResetAllParameters(false);
        for (const auto& [number, text] : content.values)
            model.SetParameterValue(number, Variant::String(text));
        model.SetDeviceObjectAssociations(content.objects, nullptr);
        model.LoadBufferedParameters();
        model.CollectVisibleNonStandardObjects();
        model.RefreshGroupObjectNames(0);
    });
}

} // namespace

int main(int argc, char** argv)
{
    // Medians of 15 runs: single runs of a few milliseconds vary with whatever else the machine does.
    int runs = 15;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        if (a == "--runs" && i + 1 < argc)
            runs = std::max(1, std::atoi(argv[++i]));
        else
            Fail("usage: bench_exchange [--runs N]");
    }
    std::string error;
    std::shared_ptr<const CatalogueModel> catalogueModel =
        CatalogueModel::Load(Catalogue::DefaultPath(), &error);
    if (!catalogueModel)
        Fail(error);

    const std::filesystem::path folder =
        std::filesystem::temp_directory_path() / ("bench-exchange-" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder);
    const std::string project = (folder / "bench.veltrona").string(), file = (folder / "bench.xml").string(),
                      copy = (folder / "pugixml.xml").string();
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
    model.CollectVisibleNonStandardObjects();
    ConfigureFully(model);

    std::vector<double> exportMs, importMs, parseMs, writeMs, hostMs;
    std::size_t bytes = 0, elements = 0;
    // A file just written is flushed to the disk outside the timings: on a virtual machine the
    // kernel's write-back of it slows whatever runs next, which would be charged to the next step.
    auto settle = [] {
        ::sync();
    };
    for (int r = 0; r < runs; ++r) {
        // One exchange object per export or import, gone when it is done, as behind the buttons.
        // Both sides write a new file: replacing one makes the file system flush it first, which
        // is the disk's time, not the writer's.
        std::filesystem::remove(file);
        {
            CXmlDomExportImport exporter(model);
            exportMs.push_back(TimeMs([&] {
                if (!exporter.ExportXmlFile(file))
                    Fail(exporter.GetErrorText());
            }));
        }
        settle();
        {
            CXmlDomExportImport importer(model);
            importMs.push_back(TimeMs([&] {
                if (!importer.ImportXmlFile(file, true))
                    Fail(importer.GetErrorText());
            }));
            if (!importer.GetFailures().empty())
                Fail("associations failed: " + importer.GetFailures());
        }
        {
            pugi::xml_document document;
            std::filesystem::remove(copy);
            parseMs.push_back(TimeMs([&] {
                if (!document.load_file(file.c_str(), pugi::parse_default | pugi::parse_ws_pcdata_single))
                    Fail("pugixml cannot read the file");
            }));
            writeMs.push_back(TimeMs([&] {
                if (!document.save_file(copy.c_str(), "", pugi::format_raw | pugi::format_no_declaration))
                    Fail("pugixml cannot write the file");
            }));
            settle();
            elements = 0;
            for (pugi::xml_node section : document.document_element().children())
                elements += 1 + static_cast<std::size_t>(std::distance(section.begin(), section.end()));
        }
        hostMs.push_back(HostWorkMs(model, ReadContent(file)));
        bytes = std::filesystem::file_size(file);
    }
    // The host writes the values of the session into the file when the user confirms; that is the
    // host's saving, not the exchange's work, and is shown apart.
    const double commitMs = TimeMs([&] {
        if (FAILED(session->EndEditing(S_OK)))
            Fail("the project cannot be saved");
    });
    session.reset();
    std::filesystem::remove_all(folder);

    const double exportMedian = Median(exportMs), importMedian = Median(importMs),
                 parseMedian = Median(parseMs), writeMedian = Median(writeMs), hostMedian = Median(hostMs);
    std::printf("file: %zu bytes, %zu elements below the root; effect values %d\n", bytes, elements,
                model.GetEffectValueCount());
    std::printf("export (host reads, document, save):          median %9.3f ms over %d runs\n", exportMedian,
                runs);
    std::printf("import (load, checks, reset, host writes):    median %9.3f ms over %d runs\n", importMedian,
                runs);
    std::printf("pugixml write of the same document:           median %9.3f ms\n", writeMedian);
    std::printf("pugixml parse of the same file:               median %9.3f ms\n", parseMedian);
    std::printf("of which the model's and the host's own reads and writes: median %9.3f ms\n", hostMedian);
    std::printf("the host's save of the session at OK (apart from the exchange): %9.3f ms\n", commitMs);
    std::printf("exchange layer alone (export + import - host work): %.3f ms, %.2f times pugixml\n",
                exportMedian + importMedian - hostMedian,
                (exportMedian + importMedian - hostMedian) / (writeMedian + parseMedian));
    std::printf("exchange: ratio %.2f (goal <= 3)\n",
                (exportMedian + importMedian) / (writeMedian + parseMedian));
    return 0;
}
