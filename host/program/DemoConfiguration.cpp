#include "host/program/DemoConfiguration.h"

#include "model/EtsDbManagement.h"

bool ConfigureDemo(HostSession& session, std::string* error)
{
    if (FAILED(session.BeginEditing())) {
        if (error)
            *error = "the demo project cannot be edited";
        return false;
    }
    {
        CEtsDbManagement model(session.Device().Get());
        model.LoadDeviceParameterPointers();
        model.InitLightnessValueLists();
        model.LoadBufferedParameters();
        // Groups 1..32 and devices 1..64.
        model.SetParameterLong(65014, 4);
        model.SetAddressingMode(4);
        struct Group
        {
            int number;
            const char* name;
            std::initializer_list<std::pair<int, const char*>> gear;
        };
        const Group groups[] = {
            {1, "Entrance hall", {{1, "Downlight door"}, {2, "Downlight stairs"}}},
            {2,
             "Open-plan office",
             {{3, "Panel window row"}, {4, "Panel middle row"}, {5, "Panel wall row"}}},
            {3, "Meeting room", {{6, "Pendant table"}, {7, "Wallwasher"}}},
            {4, "Corridor", {{8, "Corridor light 1"}, {9, "Corridor light 2"}}},
        };
        for (const Group& g : groups) {
            model.CreateGroup(g.number);
            model.SetGroupName(g.number, g.name);
            for (auto [member, name] : g.gear) {
                model.AddGroupMember(g.number, member);
                model.SetMemberName(member, name);
                model.SetMemberType(member, 6);
            }
        }
        model.CreateSingle(10);
        model.SetMemberName(10, "Reception desk");
        model.SetMemberType(10, 6);
        model.CreateSingle(11);
        model.SetMemberName(11, "Exit sign");
        model.SetMemberType(11, 1);
        model.CreateScene(1);
        model.SetSceneName(1, "Presentation");
        model.AddGroupToScene(1, 3, 0x100 | 114);
        model.AddGroupToScene(1, 2, 0x100 | 148);
        model.CreateScene(2);
        model.SetSceneName(2, "Cleaning");
        for (int g = 1; g <= 4; ++g)
            model.AddGroupToScene(2, g, 0x100 | 173);
        model.CreateEffect(1);
        model.SetEffectName(1, "Welcome");
        model.CreateEffectStep(1, 0);
        model.AddGroupToEffectStep(1, 1, 1, 173);
        model.AddGroupToEffectStep(1, 16, 4, 114);
    }
    if (FAILED(session.EndEditing(S_OK))) {
        if (error)
            *error = "the demo project could not be saved";
        return false;
    }
    return true;
}
