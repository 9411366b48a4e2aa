// Fuzz target: opening a project file, damaged or not, and reading what the host reads of it.
#include "fuzz/FuzzSupport.h"
#include "host/objects/HostSession.h"
#include "model/EtsDbManagement.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static auto catalogue = fuzzing::ShippedCatalogue();
    const std::string& file = fuzzing::WriteInput("project.veltrona", data, size);
    std::string error;
    auto session = HostSession::Open(file, catalogue, &error);
    if (!session)
        return 0;
    // What the main window reads at start, inside an editing session that is dropped.
    if (FAILED(session->BeginEditing()))
        return 0;
    {
        CEtsDbManagement model(session->Device().Get());
        model.LoadDeviceParameterPointers();
        model.LoadBufferedParameters();
        model.CollectVisibleNonStandardObjects();
        ObjectAssociationMap map;
        model.GetDeviceObjectAssociations(map);
    }
    session->EndEditing(E_ABORT);
    return 0;
}
