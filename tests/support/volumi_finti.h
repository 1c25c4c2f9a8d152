// Removable volumes as a test mounts them: each under a folder of the test.
#pragma once

#include <string>
#include <vector>

#include "operazioni/destinazione_ritrovata.h"

namespace bv::test {

class VolumiFinti final : public Volumi {
  public:
    std::optional<VolumeRimovibile> Di(const std::string& percorso) override {
        for (const VolumeRimovibile& v : montati)
            if (percorso.starts_with(v.radice)) return v;
        return std::nullopt;
    }
    std::vector<VolumeRimovibile> Montati() override { return montati; }
    std::vector<VolumeRimovibile> montati;
};

}  // namespace bv::test
