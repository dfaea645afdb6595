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
    ViewOptions options = view->options();
    options.font = {font, Qt::black};
    options.textGutter = true;
    view->setOptions(options);
    view->resize(1280, 1024);
    view->show();
    return view;
}

} // namespace bench
