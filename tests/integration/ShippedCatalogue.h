// The shipped product catalogue, loaded once per test program; a program that cannot load it stops
// with the reason, since none of its tests could run.
#pragma once

#include "host/catalogue/Catalogue.h"
#include "host/catalogue/CatalogueModel.h"

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

namespace hostproject {

inline std::shared_ptr<const CatalogueModel> ShippedCatalogue()
{
    static std::shared_ptr<const CatalogueModel> model = [] {
        std::string error;
        std::shared_ptr<const CatalogueModel> built = CatalogueModel::Load(Catalogue::DefaultPath(), &error);
        if (!built) {
            std::fprintf(stderr, "the shipped catalogue: %s\n", error.c_str());
            std::abort();
        }
        return built;
    }();
    return model;
}

} // namespace hostproject
