#pragma once

#include <QIcon>

// The program's icon: a phone with a download arrow, drawn at every size
// the window system asks for.
[[nodiscard]] QIcon makeWindowIcon();
