#include "tree/duplicates.h"

#include <algorithm>

#include "tree/display_records.h"
#include "tree/node_list.h"

namespace {

// `kept` takes what `duplicate` carries and `kept` lacks.
void absorbAssociation(Mode& kept, Mode& duplicate, QStringList& dropped) {
    if (duplicate.profile.isEmpty() || duplicate.profile == kept.profile)
        return;
    if (!kept.profile.isEmpty()) {
        dropped << duplicate.profile;
        return;
    }
    kept.profile = std::move(duplicate.profile);
    kept.hasCurve = duplicate.hasCurve;
    kept.profileBytes = std::move(duplicate.profileBytes);
    if (duplicate.hasCurve)
        kept.curve = duplicate.curve.get();
}

}  // namespace

void foldDuplicateModes(std::vector<std::unique_ptr<Mode>>& modes, QStringList& dropped) {
    std::vector<std::unique_ptr<Mode>> folded;
    folded.reserve(modes.size());
    for (std::unique_ptr<Mode>& mode : modes) {
        const auto first = std::find_if(folded.begin(), folded.end(), [&](const auto& m) {
            return SameMode(m->devMode, mode->devMode);
        });
        if (first == folded.end())
            folded.push_back(std::move(mode));
        else
            absorbAssociation(**first, *mode, dropped);
    }
    modes = std::move(folded);
}

void foldDuplicateResolutions(std::vector<std::unique_ptr<Resolution>>& resolutions,
                              QStringList& dropped) {
    std::vector<std::unique_ptr<Resolution>> folded;
    folded.reserve(resolutions.size());
    for (std::unique_ptr<Resolution>& r : resolutions) {
        const auto first = std::find_if(folded.begin(), folded.end(), [&](const auto& f) {
            return f->Matches(r->width, r->height);
        });
        if (first == folded.end())
            folded.push_back(std::move(r));
        else
            nodelist::appendChain((*first)->modeTail,
                                  nodelist::detachAll(*r->modeHead, r->modeTail));
    }
    for (std::unique_ptr<Resolution>& r : folded) {
        std::vector<std::unique_ptr<Mode>> modes =
            nodelist::toVector(nodelist::detachAll(*r->modeHead, r->modeTail));
        foldDuplicateModes(modes, dropped);
        for (std::unique_ptr<Mode>& m : modes) r->appendMode(std::move(m));
    }
    resolutions = std::move(folded);
}
