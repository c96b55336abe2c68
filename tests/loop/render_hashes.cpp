// Prints one hash per render scenario (render_listing.h). Run it before and after a
// change to the audio loop, voices or filters that must not alter a single sample;
// check_render_hashes.sh compares the two listings.
//
// Not a test: float results may legitimately differ between compilers and sanitizer
// builds, so the listing is compared within one build tree.
#include <cstdio>

#include "render_listing.h"
#include "tests/support/morph_reference.h"

int main() {
    using namespace renderlisting;
    int k = 0;
    for (const Config& c : listingConfigs()) {
        const auto h = static_cast<unsigned long long>(render(c));
        std::printf("%02d %-22s %016llx %.6g\n", k++, c.name, h, energy);
    }
    std::printf("%02d %-22s %016llx\n", k, "long-scenario", static_cast<unsigned long long>(renderLongScenario()));
    // The morph scenarios again with the previous synthesis formulation (library sine and
    // cosine per paired bin, tests/support/morph_reference.h): the hashes the listing had
    // before the morph's rotations changed. loop_morph_render_test compares the samples.
    k = 0;
    for (const Config& c : listingConfigs()) {
        if (c.morph != 0) {
            const auto h = static_cast<unsigned long long>(render(c, morphreference::synthesize));
            std::printf("%02d %-22s %016llx %.6g\n", k, "morph-previous-trig", h, energy);
        }
        ++k;
    }
    std::printf("%02d %-22s %016llx\n", k, "long-previous-trig",
                static_cast<unsigned long long>(renderLongScenario(morphreference::synthesize)));
    return 0;
}
