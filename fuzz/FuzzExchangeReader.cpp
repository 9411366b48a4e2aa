// Fuzz target: the exchange file reader - the XML layer, the check of the device information and
// the reading of every parameter and object entry - over a real project of the shipped catalogue.
#include "exchange/XmlDomExportImport.h"
#include "fuzz/FuzzSupport.h"
#include "host/objects/HostSession.h"
#include "host/objects/ProjectFactory.h"
#include "trace/DebugTrace.h"

namespace {

struct Project
{
    Project()
    {
        const std::string path = fuzzing::InputFile("project.veltrona");
        std::remove(path.c_str());
        std::string error;
        auto catalogue = fuzzing::ShippedCatalogue();
        auto store = CreateGatewayProject(path, catalogue->Source(), NewProjectOptions{}, &error);
        session = store ? HostSession::Open(store, catalogue, &error) : nullptr;
        if (!session) {
            std::fprintf(stderr, "no project: %s\n", error.c_str());
            std::abort();
        }
        model = std::make_unique<CEtsDbManagement>(session->Device().Get());
        model->LoadDeviceParameterPointers();
        model->LoadBufferedParameters();
    }
    std::unique_ptr<HostSession> session;
    std::unique_ptr<CEtsDbManagement> model;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static Project project;
    const std::string& file = fuzzing::WriteInput("exchange.xml", data, size);
    ScriptedPrompt prompt;
    for (bool withGroupAddresses : {true, false}) {
        CXmlDomExportImport reader(*project.model, &prompt);
        if (reader.ReadImportFile(file, withGroupAddresses))
            reader.GetNotTakenText();
    }
    return 0;
}
