// Opening the demo project and loading the gateway's whole parameter registry through the host
// objects (list item, UI parameter, UniqueNumber, value: what the access layer does at the start of
// a session), against a bare SQLite read of the same values from the same file, in the same run.
#include "bench/BenchSupport.h"
#include "host/catalogue/CatalogueModel.h"
#include "host/objects/HostSession.h"
#include "host/objects/ProjectFactory.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <sqlite3.h>
#include <string>
#include <utility>
#include <vector>

namespace {

using Values = std::vector<std::pair<std::int32_t, Variant>>;

[[noreturn]] void Fail(const std::string& text)
{
    bench::Fail("bench_registry_load", text);
}

// The registry as the access layer keeps it, plus every value read once.
struct Registry
{
    std::map<std::int32_t, ComPtr<IEtsDeviceParameter>> parameters;
    std::map<std::int32_t, ComPtr<IEtsUIParameter>> uiParameters;
    Values values;
};

Registry LoadRegistry(const std::string& path, const std::shared_ptr<const CatalogueModel>& model)
{
    std::string error;
    std::unique_ptr<HostSession> session = HostSession::Open(path, model, &error);
    if (!session)
        Fail(error);
    Registry registry;
    ComPtr<IEtsCollection<IEtsDeviceParameter>> list;
    std::int32_t count = 0;
    if (FAILED(session->Device()->get_Parameters(list.GetAddressOf())) || FAILED(list->get_Count(&count)))
        Fail("the parameter list cannot be read");
    registry.values.reserve(static_cast<std::size_t>(count));
    for (std::int32_t i = 1; i <= count; ++i) {
        ComPtr<IEtsDeviceParameter> parameter;
        ComPtr<IEtsUIParameter> ui;
        std::int32_t number = 0;
        Variant value;
        if (FAILED(list->Item(Variant::I4(i), parameter.GetAddressOf())) ||
            FAILED(parameter->get_UIParameter(ui.GetAddressOf())) || FAILED(ui->get_UniqueNumber(&number)) ||
            FAILED(parameter->get_Value(&value)))
            Fail("parameter " + std::to_string(i) + " cannot be read");
        registry.parameters.emplace(number, std::move(parameter));
        registry.uiParameters.emplace(number, std::move(ui));
        if (value.vt() != VT_EMPTY)
            registry.values.emplace_back(number, std::move(value));
    }
    return registry;
}

Values BareRead(const std::string& path)
{
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK)
        Fail(sqlite3_errmsg(db));
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(db,
                           "SELECT unique_nr, value FROM parameter_values "
                           "WHERE device = (SELECT min(id) FROM devices) ORDER BY unique_nr",
                           -1, &stmt, nullptr) != SQLITE_OK)
        Fail(sqlite3_errmsg(db));
    Values values;
    while (sqlite3_step(stmt) == SQLITE_ROW) {
        auto number = static_cast<std::int32_t>(sqlite3_column_int64(stmt, 0));
        if (sqlite3_column_type(stmt, 1) == SQLITE_TEXT) {
            values.emplace_back(number,
                                Variant::String(reinterpret_cast<const char*>(sqlite3_column_text(stmt, 1))));
        } else {
            std::int64_t v = sqlite3_column_int64(stmt, 1);
            values.emplace_back(number, v > INT32_MAX ? Variant::UI4(static_cast<std::uint32_t>(v))
                                                      : Variant::I4(static_cast<std::int32_t>(v)));
        }
    }
    sqlite3_finalize(stmt);
    sqlite3_close(db);
    return values;
}

using bench::Median;
using bench::TimeMs;

} // namespace

int main(int argc, char** argv)
{
    std::string cataloguePath = Catalogue::DefaultPath(), projectPath;
    int runs = 21;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        if (a == "--catalogue" && i + 1 < argc)
            cataloguePath = argv[++i];
        else if (a == "--project" && i + 1 < argc)
            projectPath = argv[++i];
        else if (a == "--runs" && i + 1 < argc)
            runs = std::max(1, std::atoi(argv[++i]));
        else
            Fail("usage: bench_registry_load [--catalogue FILE] [--project FILE] [--runs N]");
    }

    std::string error;
    std::shared_ptr<const CatalogueModel> model = CatalogueModel::Load(cataloguePath, &error);
    if (!model)
        Fail(error);
    if (projectPath.empty())
        projectPath = EnsureDemoProject(model->Source(), &error);
    if (projectPath.empty())
        Fail(error);

    // Both ways must see the same values; this first round also warms the file cache.
    Values bare = BareRead(projectPath);
    Registry registry = LoadRegistry(projectPath, model);
    if (bare != registry.values)
        Fail("the host objects and the file disagree about the values");

    // Each run fills fresh containers; freeing the previous run's is not timed.
    std::vector<double> registryMs, bareMs;
    for (int r = 0; r < runs; ++r) {
        Registry fresh;
        Values freshValues;
        registryMs.push_back(TimeMs([&] { fresh = LoadRegistry(projectPath, model); }));
        bareMs.push_back(TimeMs([&] { freshValues = BareRead(projectPath); }));
        registry = std::move(fresh);
        bare = std::move(freshValues);
    }
    const double registryMedian = Median(registryMs), bareMedian = Median(bareMs);
    std::printf("project: %s\n", projectPath.c_str());
    std::printf("parameters: %zu in the registry, %zu values stored\n", registry.parameters.size(),
                bare.size());
    std::printf("registry load (open, host objects, every value): median %.3f ms over %d runs\n",
                registryMedian, runs);
    std::printf("bare SQLite read of the same values:              median %.3f ms over %d runs\n", bareMedian,
                runs);
    std::printf("registry_load: ratio %.2f (goal <= 3)\n", registryMedian / bareMedian);
    return 0;
}
