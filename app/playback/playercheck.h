#pragma once

#include <QCoroTask>
#include <QString>

#include <optional>

namespace korvane {

// Why Korvane's own player would not show `path`: it cannot open it, it holds no picture, or
// a camera it cannot decode (a codec it does not play, encrypted pictures); nothing when every
// camera shows its first picture.
QCoro::Task<std::optional<QString>> playerProblem(QString path);

} // namespace korvane
