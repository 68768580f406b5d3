#pragma once

// What the benchmarks that drive the viewer's model share: the model reading a card image
// through the tools of this build.

#include "model/appviewmodel.h"

#include <QCoroTask>

#include <cstdio>
#include <string>

namespace bench {

// Sets `model` up to read the card image `image` with the build's durnix; false, with the
// reason on standard error under `name`, when its tools cannot be made ready.
inline bool readsCardImage(korvane::AppViewModel &model, const std::string &image, const char *name)
{
    korvane::ProcessManager &card = model.procManager();
    card.tools().setUsesCardImage(true);
    card.tools().setBundledTools(QStringLiteral(DURNIX_DIR "/"));
    if (!QCoro::waitFor(card.tools().prepareTools())) {
        std::fprintf(stderr, "%s: %s\n", name, qPrintable(card.tools().setupProblem()));
        return false;
    }
    card.setRawDevicePath(QString::fromStdString(image));
    return true;
}

} // namespace bench
