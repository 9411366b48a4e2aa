// A fresh gateway project of the shipped catalogue in a scratch folder, opened as the host opens it.
#pragma once

#include "host/objects/HostSession.h"
#include "host/objects/ProjectFactory.h"
#include "model/EtsDbManagement.h"
#include "tests/integration/ShippedCatalogue.h"
#include "testsupport/Scratch.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <map>
#include <sstream>
#include <string_view>
#include <unistd.h>

namespace hostproject {

class Project
{
public:
    explicit Project(int addressLevels = 3)
    {
        m_path = m_dir.File("project.veltrona");
        NewProjectOptions options;
        options.addressLevels = addressLevels;
        options.demoGroupAddresses = true;
        std::string error;
        auto store = CreateGatewayProject(m_path.string(), ShippedCatalogue()->Source(), options, &error);
        EXPECT_TRUE(store) << error;
        m_session = HostSession::Open(store, ShippedCatalogue(), &error);
        EXPECT_TRUE(m_session) << error;
        // The plug-in always works inside an editing session.
        EXPECT_EQ(m_session->BeginEditing(), S_OK);
    }
    ~Project() { m_session.reset(); }

    IEtsDevice* Device() const { return m_session->Device().Get(); }
    HostSession& Session() { return *m_session; }

    // A model loaded as the main window loads it.
    std::unique_ptr<CEtsDbManagement> LoadModel(IUserPrompt* prompt = nullptr)
    {
        auto model = std::make_unique<CEtsDbManagement>(Device(), prompt);
        model->LoadDeviceParameterPointers();
        model->InitLightnessValueLists();
        model->LoadBufferedParameters();
        model->CollectVisibleNonStandardObjects();
        return model;
    }

    // Every stored parameter value, object setting and association of the device, and the project's
    // group addresses, as text.
    std::string Store()
    {
        ProjectStore& store = m_session->Store();
        std::vector<DeviceRecord> devices;
        store.Devices(devices);
        std::ostringstream out;
        std::vector<GroupAddressRecord> groupAddresses;
        store.GroupAddresses(groupAddresses);
        for (const GroupAddressRecord& a : groupAddresses)
            out << "A" << a.address << ":" << a.name << "\n";
        for (const DeviceRecord& d : devices) {
            std::vector<StoredParameter> values;
            store.ParameterValues(d.id, values);
            for (const StoredParameter& p : values)
                out << "P" << p.uniqueNr << "=" << Describe(p) << "\n";
            std::vector<ObjectRecord> objects;
            store.Objects(d.id, objects);
            for (const ObjectRecord& o : objects) {
                out << "O" << o.number << ":" << o.text << "," << o.priority << "," << int{o.flags} << ","
                    << o.datapointMain << "." << o.datapointSub;
                std::vector<std::int32_t> addresses;
                store.Associations(d.id, o.number, addresses);
                for (std::int32_t a : addresses)
                    out << "," << a;
                out << "\n";
            }
        }
        return out.str();
    }

    // A store text without the lines that start with the prefix.
    static std::string WithoutLines(const std::string& store, std::string_view prefix)
    {
        std::istringstream in(store);
        std::string line, out;
        while (std::getline(in, line))
            if (!line.starts_with(prefix))
                out += line + "\n";
        return out;
    }

    // The lines in which two store texts differ, for a readable failure.
    static std::string Difference(const std::string& a, const std::string& b)
    {
        std::istringstream x(a), y(b);
        std::string l, r, out;
        int shown = 0;
        for (;;) {
            const bool left = static_cast<bool>(std::getline(x, l)),
                       right = static_cast<bool>(std::getline(y, r));
            if (!left && !right)
                break;
            if (l != r && shown++ < 20)
                out += "- " + l + "\n+ " + r + "\n";
            l.clear();
            r.clear();
        }
        return out;
    }

private:
    static std::string Describe(const StoredParameter& p)
    {
        if (const auto* n = std::get_if<std::int64_t>(&p.value))
            return std::to_string(*n);
        return "'" + std::get<std::string>(p.value) + "'";
    }

    testsupport::ScratchDir m_dir;
    std::filesystem::path m_path;
    std::unique_ptr<HostSession> m_session;
};

} // namespace hostproject
