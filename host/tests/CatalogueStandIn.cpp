// Stand-in for the catalogue's in-code part while the catalogue loader is not in the build: lets the
// store and host objects build and test against catalogues made in code.
#include "host/Catalogue.h"

#include <algorithm>

std::optional<Catalogue> Catalogue::Load(const std::string& path, std::string* error)
{
    if (error)
        *error = path + ": the catalogue loader is not part of this build.";
    return std::nullopt;
}

std::string Catalogue::DefaultPath()
{
    return "host/catalogue/veltrona-r3.xml";
}

const CatalogueParameter* Catalogue::FindParameter(std::int32_t uniqueNr) const
{
    auto it = m_index.find(uniqueNr);
    return it == m_index.end() ? nullptr : &m_parameters[it->second];
}

void Catalogue::AddParameter(CatalogueParameter parameter)
{
    auto at = std::lower_bound(m_parameters.begin(), m_parameters.end(), parameter.uniqueNr,
                               [](const CatalogueParameter& p, std::int32_t n) { return p.uniqueNr < n; });
    m_parameters.insert(at, std::move(parameter));
    m_index.clear();
    for (std::size_t i = 0; i < m_parameters.size(); ++i)
        m_index.emplace(m_parameters[i].uniqueNr, i);
}

void Catalogue::AddObject(CatalogueObject object)
{
    m_objects.push_back(std::move(object));
}

void Catalogue::AddDatapointType(DatapointTypeEntry type)
{
    m_datapointTypes.push_back(std::move(type));
}
