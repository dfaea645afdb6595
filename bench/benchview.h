#pragma once

#include "viewer/qzbinhex.h"

#include <QFont>

#include <memory>

namespace bench {

// A shown viewer of 1280x1024 with a fixed-pitch font and the gutter, as the
// viewer benchmarks measure it.
inline std::unique_ptr<TQzBinHex> MakeBenchView()
{
    auto view = std::make_unique<TQzBinHex>();
    QFont font(QStringLiteral("DejaVu Sans Mono"));
    font.setPointSize(10);
    view->SetFont({font, Qt::black});
    view->SetTextGutter(true);
    view->resize(1280, 1024);
    view->show();
    return view;
}

} // namespace bench
