#pragma once

#include "viewer/logview.h"

#include <QFont>

#include <memory>

namespace bench {

// A shown viewer of 1280x1024 with a fixed-pitch font and the gutter, as the
// viewer benchmarks measure it.
inline std::unique_ptr<LogView> makeBenchView()
{
    auto view = std::make_unique<LogView>();
    QFont font(QStringLiteral("DejaVu Sans Mono"));
    font.setPointSize(10);
    view->setTextFont({font, Qt::black});
    view->setTextGutter(true);
    view->resize(1280, 1024);
    view->show();
    return view;
}

} // namespace bench
